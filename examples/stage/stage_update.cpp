// How Vorlo starts an update once it has downloaded a release: one call, then
// it exits. As a program for trying it out:
//   vorlo-stage INSTALL_DIR DOWNLOAD_DIR
//   vorlo-stage --recover INSTALL_DIR     puts right an interrupted update,
//                                         as Vorlo does at its start
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "client/vorlo_update.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--recover") == 0) {
    std::string error;
    std::vector<std::string> done;
    const bool whole = vorlo_update::RecoverInterruptedUpdate(argv[2], &error, &done);
    for (const std::string& line : done) std::printf("%s\n", line.c_str());
    if (!whole) {
      std::fprintf(stderr, "vorlo-stage: %s\n", error.c_str());
      return 1;
    }
    if (done.empty()) std::printf("No interrupted update: the installation is whole.\n");
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: vorlo-stage INSTALL_DIR DOWNLOAD_DIR\n"
                 "       vorlo-stage --recover INSTALL_DIR\n");
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
