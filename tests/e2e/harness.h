// Runs the built program in a scratch folder with fake `notepad` and `wgnuplot`
// on PATH that log their command lines.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace zandovir::e2e {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

struct RunResult {
  int status = -1;
  std::string errors;   // standard error
  std::string output;   // standard output
  std::string launches; // the fake viewers' log, one command line per line
};

// The first lines where two byte strings differ, for failure messages.
inline std::string firstDifference(const std::string& expected, const std::string& actual) {
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const std::size_t from = at > 80 ? at - 80 : 0;
  std::ostringstream out;
  out << "sizes " << expected.size() << " (expected) and " << actual.size() << " (actual); first difference at byte "
      << at << "\n--- expected from byte " << from << ":\n"
      << expected.substr(from, 200) << "\n--- actual from byte " << from << ":\n"
      << actual.substr(from, 200);
  return out.str();
}

#define EXPECT_BYTES_EQ(expected, actual)                                              \
  do {                                                                                 \
    const std::string zExpected_ = (expected);                                         \
    const std::string zActual_ = (actual);                                             \
    EXPECT_TRUE(zExpected_ == zActual_) << ::zandovir::e2e::firstDifference(zExpected_, zActual_); \
  } while (0)

// A scratch case folder with a bin/ of fake viewers beside it; removed at the end.
struct Scratch {
  fs::path root;
  fs::path dir;  // the case folder, the program's current folder
  fs::path bin;

  Scratch() {
    std::random_device device;
    root = fs::temp_directory_path() /
           ("zandovir-e2e-" + std::to_string(device()) + "-" + std::to_string(device()));
    dir = root / "case";
    bin = root / "bin";
    fs::create_directories(dir);
    fs::create_directories(bin);
    // Each fake logs its name and arguments; notepad may also run an edit script.
    writeFile(bin / "notepad",
              "#!/bin/sh\necho \"notepad $*\" >> \"$(dirname \"$0\")/launches\"\n"
              "if [ -f \"$(dirname \"$0\")/edit.sh\" ] && [ \"$1\" = dados.ent ]; then . \"$(dirname \"$0\")/edit.sh\"; fi\n");
    writeFile(bin / "wgnuplot", "#!/bin/sh\necho \"wgnuplot $*\" >> \"$(dirname \"$0\")/launches\"\n");
    fs::permissions(bin / "notepad", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(bin / "wgnuplot", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  void put(const std::string& name, const std::string& bytes) const { writeFile(dir / name, bytes); }
  std::string get(const std::string& name) const { return readFile(dir / name); }
  bool has(const std::string& name) const { return fs::exists(dir / name); }

  // Runs `binary args` in the case folder with no terminal; `prefix` goes before it
  // on the command line (for instance a ulimit).
  RunResult run(const std::string& binary, const std::string& args = "", const std::string& prefix = "") const {
    const fs::path errors = root / "stderr";
    const fs::path output = root / "stdout";
    const fs::path status = root / "status";
    const std::string command = "cd " + shellQuote(dir.string()) + " && " + prefix + " PATH=" +
                                shellQuote(bin.string()) + ":\"$PATH\" " + shellQuote(binary) + " " + args +
                                " </dev/null >" + shellQuote(output.string()) + " 2>" +
                                shellQuote(errors.string()) + "; echo $? > " + shellQuote(status.string());
    const std::string wrapped = "sh -c " + shellQuote(command);
    RunResult result;
    if (std::system(wrapped.c_str()) != 0) return result;
    result.status = std::atoi(readFile(status).c_str());
    result.errors = readFile(errors);
    result.output = readFile(output);
    result.launches = readFile(bin / "launches");
    return result;
  }
};

// AddressSanitizer reserves terabytes of shadow address space at start, so a
// program built with it cannot run under a lowered address-space limit at all.
inline bool builtWithAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#else
  return false;
#endif
#else
  return false;
#endif
}

// Runs `binary` in the case folder on a pseudo-terminal (util-linux `script`), typing
// `input`; the result's output is what the terminal showed.
inline RunResult runInTerminal(const Scratch& s, const std::string& binary, const std::string& input) {
  const fs::path typed = s.root / "typed";
  const fs::path shown = s.root / "shown";
  const fs::path status = s.root / "status";
  writeFile(typed, input);
  const std::string inner = "PATH=" + shellQuote(s.bin.string()) + ":\"$PATH\" " + shellQuote(binary);
  const std::string command = "cd " + shellQuote(s.dir.string()) + " && (sleep 1; cat " + shellQuote(typed.string()) +
                              "; sleep 2) | script -qefc " + shellQuote(inner) + " /dev/null > " +
                              shellQuote(shown.string()) + " 2>&1; echo $? > " + shellQuote(status.string());
  RunResult result;
  if (std::system(("sh -c " + shellQuote(command)).c_str()) != 0) return result;
  result.status = std::atoi(readFile(status).c_str());
  result.output = readFile(shown);
  return result;
}

// The program as users get it, and the same program with its clock set.
inline std::string programBinary() { return ZANDOVIR_BINARY; }
inline std::string fixedClockBinary() { return ZANDOVIR_FIXED_CLOCK_BINARY; }

// Six user records of a plot script, ending with CR LF.
inline std::string sixUserRecords(const std::string& table) {
  return "set xlabel 'x'\r\nset ylabel 'value'\r\nset key top left\r\nset grid\r\n"
         "plot '" + table + "' using 1:2 with lines title 'analytic', '" + table +
         "' using 1:3 with points title 'numeric'\r\npause mouse close\r\n";
}

}  // namespace zandovir::e2e
