// What each system's half of the code page gives codepage_host.cpp. Only
// the code page's own files include this header.
#pragma once

namespace quorvel::os::detail {

// The number of the page the system asks for, known or not: the ANSI code
// page on Windows, the locale's language's elsewhere.
int SystemCodePageNumber();

}  // namespace quorvel::os::detail
