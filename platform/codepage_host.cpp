#include "platform/codepage_host.h"

namespace quorvel::platform {

const CodePage& ActiveCodePage() {
  const CodePage* page = FindCodePage(detail::SystemCodePageNumber());
  return page ? *page : *FindCodePage(1252);
}

}  // namespace quorvel::platform
