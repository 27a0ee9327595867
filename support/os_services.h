#pragma once
// What the log stamp needs from the operating system; one implementation per
// platform (os_services_posix.cpp, os_services_win32.cpp), which also provides
// ExecutableDirectory of debug_switch.h.

#include <string>

// Today in the user's short date format, as 8-bit text.
std::string ShortDateText();

// Now in the user's long time format (hours, minutes and seconds), as 8-bit
// text.
std::string LongTimeText();
