#pragma once
// The web page's files, built into commgr from tools/commgr/web/.

#include <cstddef>

struct WebFile {
  const char* name;  // as in the folder, e.g. "index.html"
  const char* type;  // its content type
  const unsigned char* data;
  size_t size;
};

extern const WebFile WEB_FILES[];
extern const size_t WEB_FILE_COUNT;
