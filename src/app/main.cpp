// vers: the window program. It starts Qt, builds the one window frmMain and
// runs the event loop until the user confirms quitting, or until the desktop
// session ends or the process is told to stop. It reads no argument of its
// own (Qt's own options, such as -platform, still reach Qt), loads no
// settings and always exits with 0.
#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/session_end.h"
#include "app/un_Main.h"
#include "platform/heap_setup.h"
#include "platform/program_dir.h"
#include "platform/shell.h"

int main(int argc, char* argv[]) {
  vers::platform::prepare_heap(vers::platform::kCheckHeapBytes);  // checks run one after another
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vers"));
  QGuiApplication::setDesktopFileName(QStringLiteral("vers"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/vers.png")));
  // Qt's own words (the Yes and No of the boxes, the file dialog) in
  // Russian, whatever the desktop's language: the program's questions name
  // the buttons ("Для замены нажмите кнопку Нет"). Without Qt's translation
  // files installed they stay English.
  QTranslator qt_words;
  if (qt_words.load(QStringLiteral("qtbase_ru"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qt_words);

  vers::platform::DesktopShell shell;
  vers::app::TfrmMain frmMain({shell, vers::platform::program_directory()});
  vers::app::SessionEnd session_end([&frmMain] { frmMain.end_without_asking(); });
  frmMain.show();
  QApplication::exec();
  return 0;
}
