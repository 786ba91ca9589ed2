// vorlo-release: prepares a release of Vorlo for the updater, and checks one.
//
//   vorlo-release make OLD_DIR NEW_DIR OUT_DIR [--json]
//   vorlo-release check DOWNLOAD_DIR [--json]
//
// make compares the installed release with the new build and writes into
// OUT_DIR what a download of the release holds: the new and changed files,
// current_release.txt and sizes.reg. It refuses, naming the files, a release
// the updater would install wrongly. check reads a download folder with the
// updater's own manifest reader and tells what the updater would do with it.
// Exit status: 0 done (check: nothing would be left out), 1 refused or
// failed, 2 wrong command line.
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "tools/vorlo-release/release.h"

namespace {

using platform::PrintErr;
using platform::PrintOut;
using platform::UString;
using release::CheckLine;

const char16_t kUsage[] =
    u"usage: vorlo-release make OLD_DIR NEW_DIR OUT_DIR [--no-sha256] [--per-file] [--json]\n"
    u"       vorlo-release check DOWNLOAD_DIR [--json]\n"
    u"\n"
    u"make   compares the installed release OLD_DIR with the new build NEW_DIR and\n"
    u"       writes into OUT_DIR (new or empty) the new and changed files,\n"
    u"       current_release.txt and sizes.reg (import it with vorlo-reg import, reg\n"
    u"       import or regedit, or let StageUpdate do it). Refuses, naming the files,\n"
    u"       a release that the updater would install wrongly. sizes.reg also holds\n"
    u"       each file's SHA-256, which the updater then checks too; --no-sha256\n"
    u"       records sizes only. The release installs whole or not at all (a file\n"
    u"       that cannot go in puts back the others); --per-file lets each file go\n"
    u"       in on its own.\n"
    u"check  tells what the updater would do with the download folder DOWNLOAD_DIR:\n"
    u"       each file added, left out (size, missing, refused) or deleted, and the\n"
    u"       file it starts again, and whether the release installs whole.\n"
    u"--json one JSON object on standard output instead of text.\n";

UString Quoted(const UString& s) {
  UString out = u"\"";
  for (char16_t c : s) {
    switch (c) {
      case u'"': out += u"\\\""; break;
      case u'\\': out += u"\\\\"; break;
      case u'\n': out += u"\\n"; break;
      case u'\r': out += u"\\r"; break;
      case u'\t': out += u"\\t"; break;
      default:
        if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF)) {
          // Control characters, and lone halves of a pair (an escaped byte of
          // a name), as \u escapes: the output stays valid UTF-8.
          const char16_t hex[] = u"0123456789abcdef";
          out += u"\\u";
          for (int shift = 12; shift >= 0; shift -= 4) out.push_back(hex[(c >> shift) & 0xF]);
        } else {
          out.push_back(c);
        }
    }
  }
  return out + u"\"";
}

UString JsonList(const std::vector<UString>& items) {
  UString out = u"[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? u"," : u"") + Quoted(items[i]);
  return out + u"]";
}

UString JsonFiles(const std::vector<release::ReleaseFile>& files) {
  UString out = u"[";
  for (size_t i = 0; i < files.size(); ++i) {
    out += (i ? u"," : u"") + UString(u"{\"path\":") + Quoted(files[i].path) + u",\"size\":" +
           platform::IntToText(files[i].size) + u"}";
  }
  return out + u"]";
}

UString Bytes(int64_t n) { return platform::IntToText(n) + u" bytes"; }

UString MiB(int64_t n) {
  const int64_t tenths = n * 10 / (1024 * 1024);
  return platform::IntToText(tenths / 10) + u"." + platform::IntToText(tenths % 10) + u" MiB";
}

int Make(const std::vector<UString>& names, bool json, bool sha256, bool whole) {
  release::Plan plan;
  UString error;
  if (!release::MakePlan(names[0], names[1], sha256, &plan, &error)) {
    PrintErr(u"vorlo-release: " + error + u"\n");
    return 1;
  }
  plan.whole = whole;
  const bool refused = !plan.refusals.empty();
  const bool progress = !json && !refused && platform::StderrIsTerminal();
  bool written = false;
  if (!refused) {
    written = release::WriteRelease(
        plan, names[1], names[2],
        [&](size_t done, size_t all, int64_t bytes, int64_t total) {
          if (!progress) return;
          PrintErr(u"\rcopying " + platform::IntToText(static_cast<long long>(done)) + u"/" +
                   platform::IntToText(static_cast<long long>(all)) + u" files, " + MiB(bytes) +
                   u" of " + MiB(total) + (done == all ? u"\n" : u""));
        },
        &error);
  }
  if (json) {
    std::vector<UString> dropped = plan.dropped;
    PrintOut(u"{\"ok\":" + UString(written ? u"true" : u"false") + u",\"whole\":" +
             (plan.whole ? u"true" : u"false") + u",\"added\":" + JsonFiles(plan.added) +
             u",\"changed\":" + JsonFiles(plan.changed) + u",\"dropped\":" +
             JsonList(plan.dropped) + u",\"refusals\":" + JsonList(plan.refusals) + u",\"notes\":" +
             JsonList(plan.notes) + (refused || written ? u"" : u",\"error\":" + Quoted(error)) +
             u"}\n");
  } else {
    for (const auto& f : plan.added)
      PrintOut(u"new      " + f.path + u" (" + Bytes(f.size) + u")\n");
    for (const auto& f : plan.changed) {
      PrintOut(u"changed  " + f.path + u" (" + Bytes(f.size) + u")\n");
    }
    for (const auto& d : plan.dropped) PrintOut(u"dropped  " + d + u"\n");
    for (const auto& n : plan.notes) PrintOut(u"note: " + n + u"\n");
    for (const auto& r : plan.refusals) PrintErr(u"refused: " + r + u"\n");
    if (refused) {
      PrintErr(
          u"vorlo-release: nothing written; the updater would install this release "
          u"wrongly.\n");
    } else if (!written) {
      PrintErr(u"vorlo-release: " + error + u"\n");
    } else {
      int64_t total = 0;
      for (const auto& f : plan.Shipped()) total += f.size;
      PrintOut(u"wrote " + names[2] + u": " +
               platform::IntToText(static_cast<long long>(plan.Shipped().size())) + u" files (" +
               Bytes(total) + u"), current_release.txt, sizes.reg" +
               (plan.whole ? u" (installs whole or not at all)" : u" (file by file)") + u"\n");
    }
  }
  return written ? 0 : 1;
}

int Check(const UString& folder, bool json) {
  release::CheckReport report;
  UString error;
  if (!release::CheckDownload(folder, &report, &error)) {
    if (json) {
      PrintOut(u"{\"ok\":false,\"error\":" + Quoted(error) + u"}\n");
    } else {
      PrintErr(u"vorlo-release: " + error + u"\n");
    }
    return 1;
  }
  const auto action = [](CheckLine::Kind k) -> const char16_t* {
    switch (k) {
      case CheckLine::kAdd: return u"add";
      case CheckLine::kKept: return u"kept";
      case CheckLine::kSizeMismatch: return u"size-mismatch";
      case CheckLine::kContentMismatch: return u"content-mismatch";
      case CheckLine::kMissing: return u"missing";
      case CheckLine::kRefused: return u"refused";
      case CheckLine::kDelete: return u"delete";
      case CheckLine::kRestart: return u"restart";
    }
    return u"";
  };
  if (json) {
    UString out = u"{\"ok\":" + UString(report.Ok() ? u"true" : u"false") + u",\"sizes_known\":" +
                  (report.sizes_known ? u"true" : u"false") + u",\"whole\":" +
                  (report.whole ? u"true" : u"false") + u",\"actions\":[";
    for (size_t i = 0; i < report.lines.size(); ++i) {
      const CheckLine& l = report.lines[i];
      out += (i ? u"," : u"") + UString(u"{\"action\":\"") + action(l.kind) + u"\",\"path\":" +
             Quoted(l.path);
      if (l.actual >= 0) out += u",\"size\":" + platform::IntToText(l.actual);
      if (l.kind == CheckLine::kSizeMismatch) {
        out += u",\"recorded\":" + platform::IntToText(l.recorded);
      }
      if (l.kind == CheckLine::kContentMismatch) {
        out += u",\"sha256\":" + Quoted(l.actual_sha256) + u",\"recorded_sha256\":" +
               Quoted(l.recorded_sha256);
      }
      out += u"}";
    }
    PrintOut(out + u"]}\n");
    return report.Ok() ? 0 : 1;
  }
  if (!report.sizes_known) {
    PrintOut(
        u"note: no sizes.reg in the folder: sizes are not checked here; the updater "
        u"checks them against the sizes recorded when it runs\n");
  }
  PrintOut(report.whole ? u"mode: the release installs whole or not at all\n"
                        : u"mode: file by file\n");
  for (const CheckLine& l : report.lines) {
    UString line;
    switch (l.kind) {
      case CheckLine::kAdd:
        line = u"add            " + l.path + u" (" + Bytes(l.actual) + u")";
        break;
      case CheckLine::kKept:
        line = u"kept           " + l.path + u" (the updater never replaces itself)";
        break;
      case CheckLine::kSizeMismatch:
        line = u"size mismatch  " + l.path + u": recorded " + platform::IntToText(l.recorded) +
               u", downloaded " + platform::IntToText(l.actual) + u" (left out)";
        break;
      case CheckLine::kContentMismatch:
        line = u"content mismatch " + l.path + u": recorded SHA-256 " + l.recorded_sha256 +
               u", downloaded " + l.actual_sha256 + u" (left out)";
        break;
      case CheckLine::kMissing: line = u"missing        " + l.path + u" (left out)"; break;
      case CheckLine::kRefused:
        line = u"refused        " + l.path + u" (leads out of its folder; left out)";
        break;
      case CheckLine::kDelete: line = u"delete         " + l.path; break;
      case CheckLine::kRestart: line = u"restart        " + l.path; break;
    }
    PrintOut(line + u"\n");
  }
  PrintOut(report.Ok()    ? u"ok: the updater would install every file listed\n"
           : report.whole ? u"not ok: the updater would refuse the whole release\n"
                          : u"not ok: the updater would leave files out\n");
  return report.Ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<UString> args = platform::CommandLineArguments(argc, argv);
  bool json = false, sha256 = true, whole = true;
  std::vector<UString> rest;
  for (const UString& a : args) {
    if (a == u"--json") {
      json = true;
    } else if (a == u"--no-sha256") {
      sha256 = false;
    } else if (a == u"--per-file") {
      whole = false;
    } else if (a == u"--help" || a == u"-h" || a == u"/?") {
      PrintOut(kUsage);
      return 0;
    } else {
      rest.push_back(a);
    }
  }
  if (!rest.empty() && rest[0] == u"make" && rest.size() == 4) {
    return Make({rest[1], rest[2], rest[3]}, json, sha256, whole);
  }
  if (!rest.empty() && rest[0] == u"check" && rest.size() == 2) return Check(rest[1], json);
  PrintErr(kUsage);
  return 2;
}
