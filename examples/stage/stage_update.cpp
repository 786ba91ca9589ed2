// How Vorlo starts an update once it has downloaded a release: one call, then
// it exits. As a program for trying it out:
//   vorlo-stage INSTALL_DIR DOWNLOAD_DIR
#include <cstdio>
#include <string>

#include "client/vorlo_update.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vorlo-stage INSTALL_DIR DOWNLOAD_DIR\n");
    return 2;
  }
  std::string error;
  if (!vorlo_update::StageUpdate(argv[1], argv[2], &error)) {
    std::fprintf(stderr, "vorlo-stage: %s\n", error.c_str());
    return 1;
  }
  // Here Vorlo would save its work and quit; the updater is waiting for it.
  std::printf("The updater is started; Vorlo exits now.\n");
  return 0;
}
