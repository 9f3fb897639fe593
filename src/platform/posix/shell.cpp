// The text-window shell on a terminal: the caption is the terminal's title, the
// status line and the boxes go to standard error, answers come from standard input.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace zandovir::platform {
namespace {

ExitMode gExitMode = ExitMode::askBeforeClosing;

void writeAll(int descriptor, const char* text, std::size_t length) {
  while (length > 0) {
    const ssize_t count = write(descriptor, text, length);
    if (count <= 0) return;
    text += count;
    length -= static_cast<std::size_t>(count);
  }
}

void writeText(int descriptor, const char* text) { writeAll(descriptor, text, std::strlen(text)); }

// Reads one line of standard input; returns its first non-blank character, or 0 at
// the end of the input.
int readAnswer() {
  char line[256];
  std::size_t length = 0;
  bool any = false;
  for (;;) {
    char byte = 0;
    const ssize_t count = read(STDIN_FILENO, &byte, 1);
    if (count <= 0) return any ? (length > 0 ? line[0] : '\n') : 0;
    any = true;
    if (byte == '\n') return length > 0 ? line[0] : '\n';
    if (byte != ' ' && byte != '\t' && length < sizeof line) line[length++] = byte;
  }
}

}  // namespace

bool setCaption(const char* text) {
  // Only the controlling terminal gets the title escape, never a pipe or a file.
  const int terminal = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (terminal < 0) return false;
  writeText(terminal, "\033]0;");
  writeText(terminal, text);
  writeText(terminal, "\007");
  close(terminal);
  return true;
}

void setStatus(const char* text) {
  if (!isatty(STDERR_FILENO)) return;
  writeText(STDERR_FILENO, text);
  writeText(STDERR_FILENO, "\n");
}

void showFailureBox(const char* caption, const char* text) {
  // The caption stands on its own line, without the box caption's trailing blank.
  std::size_t captionLength = std::strlen(caption);
  while (captionLength > 0 && caption[captionLength - 1] == ' ') --captionLength;
  writeAll(STDERR_FILENO, caption, captionLength);
  writeText(STDERR_FILENO, "\n");
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '\r' && p[1] == '\n') continue;  // CR LF shows as one line break
    writeAll(STDERR_FILENO, p, 1);
  }
  writeText(STDERR_FILENO, "\n");
  if (isatty(STDIN_FILENO)) {
    writeText(STDERR_FILENO, "[OK]\n");
    readAnswer();
  }
}

void exitPrompt(const char* caption, const char* text) {
  if (!isatty(STDIN_FILENO)) return;
  writeText(STDERR_FILENO, caption);
  writeText(STDERR_FILENO, "\n");
  writeText(STDERR_FILENO, text);
  writeText(STDERR_FILENO, " [y/N] ");
  const int answer = readAnswer();
  if (answer == 'y' || answer == 'Y') return;
  if (answer == 0) return;  // the input is closed: so is the window
  writeText(STDERR_FILENO, "The window stays open. Press Enter to close it.\n");
  readAnswer();
}

bool requestExitMode(int mode) {
  if (mode < 1 || mode > 3) return false;
  gExitMode = static_cast<ExitMode>(mode);
  return true;
}

ExitMode currentExitMode() { return gExitMode; }

const char* programName() {
  static char name[256] = "zandovir";
  static bool known = false;
  if (!known) {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0) {
      path[length] = '\0';
      const char* base = std::strrchr(path, '/');
      base = base != nullptr ? base + 1 : path;
      std::snprintf(name, sizeof name, "%.200s", base);
      if (char* dot = std::strrchr(name, '.'); dot != nullptr && dot != name) *dot = '\0';
    }
    known = true;
  }
  return name;
}

void terminateProcess(int code) { _exit(code); }

}  // namespace zandovir::platform
