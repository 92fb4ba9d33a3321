// Dates and times as the spreadsheet counts them: a serial number of days
// since the workbook's epoch (1899-12-30 unless the workbook says otherwise),
// the time of day as its fraction. The XML formats write ISO 8601 texts;
// these turn them into those numbers.
#pragma once

#include <string_view>

namespace vers::engine::xml {

struct Epoch {
  int year = 1899;
  int month = 12;
  int day = 30;
};

// "2008-03-05", "2008-03-05T09:05:07", "2008-03-05T09:05:07.25Z" (a zone
// suffix is ignored: the spreadsheet stores local time), or a time of day
// alone ("09:05:07", its fraction of a day). False for any other text.
bool iso_date_to_serial(std::string_view text, const Epoch& epoch, double& serial);

// An ISO 8601 duration such as "PT09H05M07S", "P1DT2H", "-PT0.5S", in days.
bool iso_duration_to_days(std::string_view text, double& days);

// Reads "YYYY-MM-DD" as an epoch (the workbook's null date).
bool parse_epoch(std::string_view text, Epoch& epoch);

}  // namespace vers::engine::xml
