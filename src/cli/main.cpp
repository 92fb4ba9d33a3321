// vers-check: the command-line face of the checker.
#include <cstdio>

int main() { return 0; }
