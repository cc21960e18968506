// The native build has the module linked in and no resources: its bitmaps
// are the generated artwork files.
#include "host/render/bitmaps.h"

#ifndef CORVELAIN_ARTWORK_DIR
#define CORVELAIN_ARTWORK_DIR "generated/artwork"
#endif

std::unique_ptr<BitmapSource> module_bitmaps(const LoadedModule&) {
  return std::make_unique<FolderBitmaps>(CORVELAIN_ARTWORK_DIR);
}
