#include <cstdlib>
#include <cstring>
#include <new>

#include "outputs/outputs.h"
#include "textio/record_writer.h"

namespace zandovir {

void refreshPlotScript(const char* fileName, const RunLabels& labels) {
  static TextFile script;
  openTextFile(script, fileName);
  // The user's six records are only counted, never looked at.
  for (int record = 0; record < 6; ++record) skipRecord(script);
  const LayoutItem items[] = {LayoutItem::ofText(labels.caseLabel, sizeof labels.caseLabel)};
  writeWithLayout(script, kPlotTitleLayout, items);
  closeTextFile(script);
}

bool runCommand(const char* command, std::size_t length) {
  const std::size_t kept = trimmedLength(command, length);
  char* line = static_cast<char*>(::operator new(kept + 1, std::nothrow));
  if (line == nullptr) return false;
  std::memcpy(line, command, kept);
  line[kept] = '\0';
  const int result = platform::runInterpreter(line);
  ::operator delete(line);
  return result != -1;
}

}  // namespace zandovir
