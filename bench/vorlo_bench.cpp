// vorlo-bench: the measured parts of the updater, one per command, for
// scripts/bench. Each command prints "RESULT name value" lines on standard
// error (seconds unless the name says otherwise); standard output carries
// what the program itself shows (the terminal front end's log lines).
//
//   vorlo-bench copy SRC DST              the copy of an exchange, into place
//   vorlo-bench sha256 FILE               the SHA-256 check of a downloaded file
//   vorlo-bench stage DL APP              the exchange stage, terminal front end
//   vorlo-bench stage-whole DL APP        the same for a release that installs whole
//   vorlo-bench manifest DL               reading [LocalFiles], no size check
//   vorlo-bench stat-list DL              stat of every file the manifest names
//   vorlo-bench flush FILE                open and fsync one file
//   vorlo-bench flush-list DL             open and fsync every file the manifest names
//   vorlo-bench exchange-list DL APP      the exchange of every file the manifest names at
//                                         its physical price, file by file
//   vorlo-bench log-lines N DIR           N log lines through the channel, terminal front end
//   vorlo-bench baseline-lines N DIR      the physical price of N such lines: a hand-off to
//                                         another thread and back (mutex and condition
//                                         variables), the line written to standard output
//                                         there, and update.log opened, appended and closed
//   vorlo-bench baseline-safe-lines N DIR the same with update.log's checks (lstat, flock, fstat)
//   vorlo-bench detect PATH               one running-application check
//   vorlo-bench lines N                   N log lines into the window's view, and the
//                                         memory they take
//   vorlo-bench time CMD [ARG...]         wall time of a command
//   vorlo-bench peak CMD [ARG...]         peak memory of a command (KiB)
//   vorlo-bench first-status DIR CMD...   start to the first status line of update
//   vorlo-bench gtk-label                 a GTK window with one label, shown, then exit
//   vorlo-bench make-release DIR N BYTES  N files (fNNNN.dat in d00..d99) and their manifest
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/main_update.h"
#include "engine/exec.h"
#include "platform/files.h"
#include "platform/handoff.h"
#include "platform/process_list.h"
#include "platform/running_object.h"
#include "platform/sha256.h"
#include "platform/system_ops.h"
#include "platform/ui.h"

#ifndef _WIN32
#include <fcntl.h>
#include <gtk/gtk.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/console/ui_console.h"
extern char** environ;
#endif

namespace {

using Clock = std::chrono::steady_clock;
using platform::UString;

double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

void Result(const char* name, double value) {
  std::fprintf(stderr, "RESULT %s %.9f\n", name, value);
}

UString U(const char* s) { return platform::Utf8ToUtf16(s); }

// The real system, with the time spent appending to update.log counted.
class CountingSystem : public platform::SystemOps {
 public:
  bool AppendToSharedFile(platform::UStringView path, std::string_view bytes) override {
    const auto t = Clock::now();
    const bool ok = SystemOps::AppendToSharedFile(path, bytes);
    log_seconds += Since(t);
    return ok;
  }
  UString ExecutablePath() override { return exe; }
  double log_seconds = 0;
  UString exe;
};

#ifndef _WIN32
// A worker thread running `body`.
class BenchWorker : public platform::TThread {
 public:
  explicit BenchWorker(std::function<void()> body) : body_(std::move(body)) {}

 protected:
  void Execute() override { body_(); }

 private:
  std::function<void()> body_;
};

// A window (not shown) and the updater's worker object, never started: `body`
// runs on a thread of its own while this thread runs the terminal front
// end's loop, which serves the hand-offs as the program does.
void OnWorker(forms::TApplication& app, const std::function<void(TExec*)>& body,
              CountingSystem* sys) {
  TFormUpdater form(&app);
  form.OnActivate = nullptr;
  TExec* exec = new TExec(&form);
  exec->Sys = sys;
  BenchWorker worker([&] { body(exec); });
  worker.Start();
  app.Toolkit().Run();
  platform::TThread::WaitForAll();
  delete exec;
}

// OnWorker in the terminal front end, with `sys` as the system and `exe` as
// the updater's own path (update.log goes beside it).
void OnConsoleWorker(const UString& exe, CountingSystem* sys,
                     const std::function<void(TExec*)>& body) {
  forms::TApplication app(platform::ui::OpenConsoleToolkit());
  app.Title = kApplicationTitle;
  sys->exe = exe;
  OnWorker(app, body, sys);
}

// The manifest and the exchange stage as the run makes them: every file
// staged first, then swapped; with `whole`, as a release that installs whole
// (its journal included).
int Stage(const char* dl, const char* app_dir, bool manifest_only, bool whole) {
  CountingSystem sys;
  double total = 0;
  OnConsoleWorker(U(dl) + u"/../update", &sys, [&](TExec* e) {
    e->User_Path = U(dl) + u"/";
    e->Exe_Path = U(app_dir) + u"/";
    const auto t = Clock::now();
    std::vector<UString> list;
    e->LoadFilesToReplace(e->User_Path, u"[LocalFiles]", u"[end]", list, !manifest_only);
    if (!manifest_only) {
      e->ExchangeRelease(list, whole);
      e->Log = u"Echanges fichiers terminé";
      if (whole) sys.RemoveName(U(dl) + u"/../update.journal");
    }
    total = Since(t);
  });
  Result("total", total);
  Result("channels", static_cast<double>(platform::HandOff::Instance().WaitedNanoseconds()) / 1e9);
  Result("logfile", sys.log_seconds);
  return 0;
}

// The files a manifest's [LocalFiles] names, below `dl`.
std::vector<std::string> ManifestFiles(const char* dl) {
  std::string manifest;
  platform::ReadWholeFile(U(dl) + u"/current_release.txt", &manifest, nullptr);
  std::vector<std::string> files;
  size_t start = 0;
  bool open = false;
  while (start < manifest.size()) {
    size_t end = manifest.find('\n', start);
    if (end == std::string::npos) end = manifest.size();
    std::string line = manifest.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (line == "[LocalFiles]" || line == "[end]") {
      open = line == "[LocalFiles]";
    } else if (open && !line.empty()) {
      files.push_back(std::string(dl) + "/" + line);
    }
  }
  return files;
}

int StatList(const char* dl) {
  const auto t = Clock::now();
  size_t found = 0;
  for (const std::string& f : ManifestFiles(dl)) {
    struct stat st;
    if (stat(f.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ++found;
  }
  Result("total", Since(t));
  Result("found_count", static_cast<double>(found));
  return 0;
}

// One flush to disk per file: what the exchange adds to cp -a for a file
// that is whole on disk before it takes the installed name.
int FlushList(const char* dl) {
  const std::vector<std::string> files = ManifestFiles(dl);
  const auto t = Clock::now();
  for (const std::string& f : files) {
    const int fd = open(f.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 1;
    fsync(fd);
    close(fd);
  }
  Result("total", Since(t));
  return 0;
}

// The exchange of every file a manifest names at its physical price, file
// by file, with nothing of the program's: the new content copied into a
// temporary file beside the installed one with its permissions and times,
// flushed to disk, the installed file given its backup name as a second
// name, and the temporary file renamed over the installed name.
int ExchangeList(const char* dl, const char* app) {
  const std::vector<std::string> files = ManifestFiles(dl);
  const size_t skip = std::string(dl).size();
  const auto t = Clock::now();
  for (const std::string& from : files) {
    const std::string to = app + from.substr(skip);
    const std::string tmp_pattern = to.substr(0, to.rfind('/') + 1) + ".vorlo-XXXXXX.tmp";
    std::string tmp = tmp_pattern;
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (in < 0 || fstat(in, &st) != 0) return 1;
    const int out = mkostemps(tmp.data(), 4, O_CLOEXEC);
    if (out < 0) return 1;
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(st.st_size), 0) !=
            st.st_size ||
        fchmod(out, st.st_mode & 0777) != 0 || futimens(out, times) != 0 || fsync(out) != 0) {
      return 1;
    }
    close(out);
    close(in);
    if (link(to.c_str(), (to + ".old").c_str()) != 0) return 1;
    if (rename(tmp.c_str(), to.c_str()) != 0) return 1;
  }
  Result("total", Since(t));
  return 0;
}

// One flush to disk of a file just written: what the disk's writing of it
// costs after a copy that left it in memory.
int Flush(const char* path) {
  const auto t = Clock::now();
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0 || fsync(fd) != 0) return 1;
  close(fd);
  Result("total", Since(t));
  return 0;
}

// N lines through the worker's Log channel, as the run reports them: the
// hand-off to the window thread of the terminal front end, which writes the
// line to standard output, then update.log in DIR.
int LogLines(long n, const char* dir) {
  CountingSystem sys;
  double total = 0;
  OnConsoleWorker(U(dir) + u"/update", &sys, [&](TExec* e) {
    const UString text = u"Ajouté : " + U(dir) + u"/d00/f0001.dat";
    const auto t = Clock::now();
    for (long i = 0; i < n; ++i) e->Log = text;
    total = Since(t);
  });
  Result("total", total);
  Result("per_line", total / static_cast<double>(n));
  return 0;
}

// The same N lines at their physical price, with nothing of the program's;
// with `safe`, update.log also gets the checks the program makes (that the
// name is a regular file before it is opened, the writers' lock, the type
// and length of what was opened).
int BaselineLines(long n, const char* dir, bool safe) {
  const std::string log = std::string(dir) + "/baseline.log";
  std::mutex m;
  std::condition_variable to_window, to_worker;
  const std::string* pending = nullptr;
  bool done = false, stop = false;
  double total = 0;
  std::atomic<bool> failed{false};
  // The worker on a thread of its own, the window on the main thread, as in
  // the program (a toolkit's window lives on the main thread). Which thread
  // writes to the pipe matters: the reader's wake-ups land differently.
  std::thread worker([&] {
    const std::string text = "Ajouté : " + std::string(dir) + "/d00/f0001.dat";
    const auto t = Clock::now();
    for (long i = 0; i < n && !failed; ++i) {
      {
        std::unique_lock<std::mutex> lock(m);
        pending = &text;
        done = false;
        to_window.notify_one();
        to_worker.wait(lock, [&] { return done; });
      }
      const std::string entry = "12/10/26 15:36:41 : " + text + "\r\n";
      struct stat st;
      if (safe) lstat(log.c_str(), &st);
      const int fd = open(log.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
      failed = fd < 0 || (safe && (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &st) != 0)) ||
               write(fd, entry.data(), entry.size()) < 0;
      if (fd >= 0) close(fd);
    }
    total = Since(t);
    {
      std::lock_guard<std::mutex> lock(m);
      stop = true;
    }
    to_window.notify_one();
  });
  {
    std::unique_lock<std::mutex> lock(m);
    for (;;) {
      to_window.wait(lock, [&] { return pending != nullptr || stop; });
      if (stop) break;
      const std::string line = *pending + "\n";
      if (write(STDOUT_FILENO, line.data(), line.size()) < 0) failed = true;
      pending = nullptr;
      done = true;
      to_worker.notify_one();
    }
  }
  worker.join();
  if (failed) return 1;
  Result("total", total);
  Result("per_line", total / static_cast<double>(n));
  return 0;
}

pid_t Spawn(char** argv) {
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) return -1;
  return pid;
}

int Time(char** argv) {
  const auto t = Clock::now();
  const pid_t pid = Spawn(argv);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return 1;
  Result("total", Since(t));
  return 0;
}

int Peak(char** argv) {
  const pid_t pid = Spawn(argv);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return 1;
  rusage ru;
  getrusage(RUSAGE_CHILDREN, &ru);
  Result("peak_kib", static_cast<double>(ru.ru_maxrss));
  return 0;
}

// The first status line comes right after the second log line, which is in
// update.log when its report returns: time until the file has two lines.
int FirstStatus(const char* dir, char** argv) {
  const std::string log = std::string(dir) + "/update.log";
  unlink(log.c_str());
  const auto t = Clock::now();
  const pid_t pid = Spawn(argv);
  if (pid < 0) return 1;
  double elapsed = -1;
  while (Since(t) < 30) {
    std::string text;
    if (platform::ReadWholeFile(U(log.c_str()), &text, nullptr)) {
      size_t lines = 0;
      for (char c : text) lines += c == '\n';
      if (lines >= 2) {
        elapsed = Since(t);
        break;
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  kill(pid, SIGKILL);
  int status;
  waitpid(pid, &status, 0);
  Result("total", elapsed);
  return elapsed < 0 ? 1 : 0;
}

int MakeRelease(const char* dir, long n, long bytes) {
  const std::string top = dir;
  mkdir(top.c_str(), 0755);
  std::string content(static_cast<size_t>(bytes), '\0');
  for (size_t i = 0; i < content.size(); ++i)
    content[i] = static_cast<char>((i * 2654435761u) >> 13);
  std::string manifest = "[LocalFiles]\r\n";
  const long per = n / 100;
  for (int d = 0; d < 100; ++d) {
    char sub[8];
    std::snprintf(sub, sizeof sub, "d%02d", d);
    mkdir((top + "/" + sub).c_str(), 0755);
    for (long f = 1; f <= per; ++f) {
      char name[32];
      std::snprintf(name, sizeof name, "%s/f%04ld.dat", sub, f);
      FILE* out = std::fopen((top + "/" + name).c_str(), "wb");
      if (out == nullptr) return 1;
      std::fwrite(content.data(), 1, content.size(), out);
      std::fclose(out);
      manifest += std::string(name) + "\r\n";
    }
  }
  manifest += "[end]\r\n";
  return platform::WriteWholeFile(U((top + "/current_release.txt").c_str()), manifest, nullptr) ? 0
                                                                                                : 1;
}

gboolean QuitAfterDraw(GtkWidget*, cairo_t*, gpointer) {
  g_idle_add(
      [](gpointer) -> gboolean {
        gtk_main_quit();
        return G_SOURCE_REMOVE;
      },
      nullptr);
  return FALSE;
}

int OneLabelWindow(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) return 1;
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget* label = gtk_label_new("La mise à jour est en cours ...");
  gtk_container_add(GTK_CONTAINER(window), label);
  g_signal_connect_after(label, "draw", G_CALLBACK(QuitAfterDraw), nullptr);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
#endif

int Copy(const char* src, const char* dst) {
  const auto t = Clock::now();
  const bool ok = platform::CopyIntoPlace(U(src), U(dst));
  Result("total", Since(t));
  return ok ? 0 : 1;
}

int Sha256(const char* path) {
  const auto t = Clock::now();
  platform::UString hex, error;
  const bool ok = platform::FileSha256(U(path), &hex, &error);
  Result("total", Since(t));
  std::printf("%s\n", platform::Utf16ToUtf8(hex).c_str());
  return ok ? 0 : 1;
}

int Detect(const char* path) {
  const auto t = Clock::now();
  const bool running = platform::IsApplicationRunning(U(path));
  Result("total", Since(t));
  Result("running_flag", running ? 1 : 0);
  return 0;
}

// The updater's window shown with the real toolkit (its log view open), and
// `body` on a worker thread with the updater's worker object; the window
// closes when the body is done.
void OnShownWindow(int argc, char** argv, const std::function<void(TExec*)>& body) {
  forms::TApplication app(platform::ui::Toolkit::Open(&argc, &argv));
  app.Title = kApplicationTitle;
  app.AddForm(std::make_unique<TFormUpdater>(&app));
  auto* form = static_cast<TFormUpdater*>(app.MainForm());
  form->OnActivate = nullptr;
  form->ButtonDetailsClick(nullptr);
  CountingSystem sys;
  sys.exe = u"/nonexistent-folder/update";  // the view only: no update.log
  TExec* exec = new TExec(form);
  exec->Sys = &sys;
  std::thread worker([&] {
    try {
      body(exec);
      platform::TThread::Synchronize([&] {
        form->Allowclose = true;
        form->Close();
      });
    } catch (...) {
    }
  });
  app.Run();
  worker.join();
  delete exec;
}

// N empty hand-offs to the window thread: what the channels cost without any
// display work.
int HandOffs(int argc, char** argv, long n) {
  double total = 0;
  OnShownWindow(argc, argv, [&](TExec*) {
    const auto t = Clock::now();
    for (long i = 0; i < n; ++i) platform::TThread::Synchronize([] {});
    total = Since(t);
  });
  Result("per_handoff", total / static_cast<double>(n));
  return 0;
}

#ifdef _WIN32
double ResidentBytes() { return 0; }
#else
// The process's resident memory.
double ResidentBytes() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}
#endif

// N Log lines into the window's view; the cost per line of the first and of
// the last thousand, and the resident memory against the text the view holds
// after the first thousand lines, at half-way and at the end.
int Lines(int argc, char** argv, long n) {
  double first = 0, last = 0;
  double text = 0, text_first = 0, text_half = 0, mem_first = 0, mem_half = 0, mem_end = 0;
  OnShownWindow(argc, argv, [&](TExec* exec) {
    // The window manager maps the window some time after it is shown; lines
    // before that draw nothing and would flatter the first thousand.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (long i = 0; i < n; ++i) {
      const UString line = u"Ajouté : /opt/vorlo/lib/file" + platform::IntToText(i) + u".dll";
      const auto t = Clock::now();
      exec->Log = line;
      const double s = Since(t);
      text += static_cast<double>(platform::Utf16ToUtf8(line).size() + 1);
      if (i < 1000) first += s;
      if (i >= n - 1000) last += s;
      if (i == 999) text_first = text, mem_first = ResidentBytes();
      if (i == n / 2 - 1) text_half = text, mem_half = ResidentBytes();
      if (i == n - 1) mem_end = ResidentBytes();
    }
  });
  Result("first_per_line", first / 1000);
  Result("last_per_line", last / 1000);
  // Memory added per byte of text added, over the first and the second half.
  Result("mem_per_text_first_half", (mem_half - mem_first) / (text_half - text_first));
  Result("mem_per_text_second_half", (mem_end - mem_half) / (text - text_half));
  Result("text_bytes", text);
  Result("mem_growth_bytes", mem_end - mem_first);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vorlo-bench COMMAND ...\n");
    return 2;
  }
  const std::string cmd = argv[1];
  if (cmd == "copy" && argc == 4) return Copy(argv[2], argv[3]);
  if (cmd == "sha256" && argc == 3) return Sha256(argv[2]);
  if (cmd == "detect" && argc == 3) return Detect(argv[2]);
  if (cmd == "lines" && argc == 3) return Lines(argc, argv, std::stol(argv[2]));
  if (cmd == "handoffs" && argc == 3) return HandOffs(argc, argv, std::stol(argv[2]));
#ifndef _WIN32
  if (cmd == "stage" && argc == 4) return Stage(argv[2], argv[3], false, false);
  if (cmd == "stage-whole" && argc == 4) return Stage(argv[2], argv[3], false, true);
  if (cmd == "manifest" && argc == 3) return Stage(argv[2], argv[2], true, false);
  if (cmd == "stat-list" && argc == 3) return StatList(argv[2]);
  if (cmd == "flush" && argc == 3) return Flush(argv[2]);
  if (cmd == "flush-list" && argc == 3) return FlushList(argv[2]);
  if (cmd == "exchange-list" && argc == 4) return ExchangeList(argv[2], argv[3]);
  if (cmd == "log-lines" && argc == 4) return LogLines(std::stol(argv[2]), argv[3]);
  if (cmd == "baseline-lines" && argc == 4)
    return BaselineLines(std::stol(argv[2]), argv[3], false);
  if (cmd == "baseline-safe-lines" && argc == 4) {
    return BaselineLines(std::stol(argv[2]), argv[3], true);
  }
  if (cmd == "time" && argc >= 3) return Time(argv + 2);
  if (cmd == "peak" && argc >= 3) return Peak(argv + 2);
  if (cmd == "first-status" && argc >= 4) return FirstStatus(argv[2], argv + 3);
  if (cmd == "gtk-label") return OneLabelWindow(argc, argv);
  if (cmd == "make-release" && argc == 5)
    return MakeRelease(argv[2], std::stol(argv[3]), std::stol(argv[4]));
#endif
  std::fprintf(stderr, "vorlo-bench: unknown command or arguments\n");
  return 2;
}
