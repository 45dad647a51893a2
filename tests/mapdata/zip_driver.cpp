// Makes archives for the end-to-end test with the product's own code.
//   zip_driver pack KML_FOLDER/ KML_NAME           packs one KML file; prints the archive name
//                                                  (exit status 1 when packing fails)
//   zip_driver zip ARCHIVE [ENTRY_NAME SOURCE]...  prints the result code of each step in hex
// Arguments are UTF-8; the archive writer receives the entry names in windows-1251.
#include <cstdio>
#include <string>

#include "common/cp1251.h"
#include "mapdata/kmz.h"
#include "mapdata/zip.h"

namespace {

int Usage() {
  std::fputs(
      "usage: zip_driver pack KML_FOLDER/ KML_NAME\n"
      "       zip_driver zip ARCHIVE [ENTRY_NAME SOURCE]...\n",
      stderr);
  return 2;
}

void PrintCode(const char* step, uint32_t code) {
  std::printf("%s 0x%08X\n", step, code);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  if (command == "pack" && argc == 4) {
    const auto archive = kx::PackKmz(argv[2], argv[3]);
    if (!archive) return 1;
    std::printf("%s\n", archive->c_str());
    return 0;
  }
  if (command == "zip" && argc >= 3 && argc % 2 == 1) {
    kx::TZip zip;
    PrintCode("create", zip.Create(argv[2]));
    for (int i = 3; i + 1 < argc; i += 2) {
      PrintCode("add", zip.Add(kx::Cp1251FromUtf8(argv[i]), argv[i + 1]));
    }
    PrintCode("close", zip.Close());
    return 0;
  }
  return Usage();
}
