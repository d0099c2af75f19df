// Names and command lines from outside. Checks that
//  - a name the file-name rules accept stays inside the folder it is joined
//    to and holds nothing Windows reads as a stream, a device or the end of
//    the path;
//  - a server address accepted for naming the configuration file gives a
//    plain file name, and one accepted from a web page shows the user a
//    plain ASCII host;
//  - what is kept of a web page's value holds no quote, control character or
//    bidirectional formatting character and ends in no backslash, so that
//    both the client's splitting and the standard Windows rules read it back;
//  - the client's command line, split at its quotes, gives exactly the
//    twelve values it was built from.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/progress_window.h"
#include "engine/server_address.h"
#include "engine/trace_file.h"
#include "platform/file_names.h"
#include "platform/message_box.h"
#include "platform/processes.h"
#include "platform/registry.h"

namespace {

void Check(bool ok, const char* what, std::string_view input) {
  if (ok) return;
  std::fprintf(stderr, "%s: \"%.*s\"\n", what, static_cast<int>(input.size()), input.data());
  std::abort();
}

// The C runtime's rules for the arguments after the program's own word.
std::vector<std::string> ParseArguments(std::string_view line) {
  std::vector<std::string> args;
  size_t i = 0;
  for (;;) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i == line.size()) return args;
    std::string arg;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      size_t backslashes = 0;
      while (i < line.size() && line[i] == '\\') ++backslashes, ++i;
      if (i < line.size() && line[i] == '"') {
        arg.append(backslashes / 2, '\\');
        if (backslashes % 2) {
          arg += '"';
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(backslashes, '\\');
        if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) arg += line[i++];
      }
    }
    args.push_back(arg);
  }
}

class Nothing : public platform::IProcessLauncher, public platform::IRegistry, public platform::IMessageBox {
 public:
  bool Start(const std::string&, const std::string&, int) override { return false; }
  using platform::IProcessLauncher::RunAndWait;
  std::uint32_t RunAndWait(const std::string&, const std::string&, int, const std::string&) override { return 0; }
  bool WriteString(platform::RegistryRoot, const std::string&, const std::string&, const std::string&) override {
    return false;
  }
  std::optional<std::string> ReadString(platform::RegistryRoot, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> ReadString64(platform::RegistryRoot, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  int Show(const std::string&, const std::string&, unsigned) override { return platform::IdOk; }
};

void CheckNames(std::string_view name) {
  if (platform::IsPlainRelativePath(name)) {
    Check(platform::IsInsideFolder("C:\\base", "C:\\base\\" + std::string(name)), "plain path leaves", name);
    for (char c : name) {
      Check(static_cast<unsigned char>(c) >= 0x20 && c != ':' && c != '"', "plain path holds", name);
    }
  }
  if (platform::IsPlainName(name)) {
    Check(name.find_first_of("\\/") == std::string_view::npos && !platform::IsDeviceName(name), "plain name", name);
  }
}

void CheckAddress(std::string_view address) {
  const std::string text(address);
  if (!engine::IsUsableServerAddress(text)) return;
  // The name as the configuration file gets it, without the trace file.
  const size_t scheme = text.find("http://");
  if (scheme != 0) return;
  std::string authority = text.substr(7, text.find('/', 7) - 7);
  const size_t colon = authority.find(':');
  const std::string host = authority.substr(0, colon);
  const std::string port = colon == std::string::npos ? "" : authority.substr(colon + 1);
  Check(platform::IsPlainName(host + "_" + port + "_AutoUpdateIniC.xml"), "address names a path", address);
}

void CheckWebAddress(std::string_view address) {
  if (!engine::IsClearWebAddress(address)) return;
  const std::string shown = engine::ServerDisplayName(std::string(address));
  for (char c : shown) {
    const auto u = static_cast<unsigned char>(c);
    Check(u > 0x20 && u < 0x7F && std::string_view("@%\\/\"").find(c) == std::string_view::npos,
          "web address shows", address);
  }
  Check(address.empty() || !shown.empty(), "web address shows no host", address);
}

bool HasBidiFormat(std::string_view text) {
  for (const char* mark : {"\u200E", "\u200F", "\u202A", "\u202B", "\u202C", "\u202D", "\u202E", "\u2066",
                           "\u2067", "\u2068", "\u2069"}) {
    if (text.find(mark) != std::string_view::npos) return true;
  }
  return false;
}

void CheckOutsideValue(std::string_view input) {
  const std::string value = app::OutsideValue(input);
  for (char c : value) {
    const auto u = static_cast<unsigned char>(c);
    Check(c != '"' && u >= 0x20 && u != 0x7F, "outside value keeps", input);
  }
  Check(!HasBidiFormat(value), "outside value keeps bidi formatting", input);
  Check(value.empty() || value.back() != '\\', "outside value ends in a backslash", input);
  Check(app::OutsideValue(value) == value, "outside value changes again", input);
  Check(ParseArguments(" \"" + value + "\"") == std::vector<std::string>{value}, "outside value read back", input);
}

// The client's own splitting: each value is what stands between a pair of
// quotes, nothing escaped.
std::vector<std::string> SplitAtQuotes(std::string_view line) {
  std::vector<std::string> values;
  for (size_t open = line.find('"'); open != std::string_view::npos; open = line.find('"', open)) {
    const size_t close = line.find('"', open + 1);
    if (close == std::string_view::npos) break;
    values.emplace_back(line.substr(open + 1, close - open - 1));
    open = close + 1;
  }
  return values;
}

void CheckClientCommand(std::string_view input) {
  // Twelve values separated by NUL; the program's own word must not hold a
  // quote (no file name can).
  app::Arguments args;
  size_t start = 0;
  while (args.size() < app::kPositionalCount) {
    const size_t end = std::min(input.find('\0', start), input.size());
    args.emplace_back(input.substr(start, end - start));
    start = end + 1;
    if (end == input.size()) break;
  }
  while (args.size() < app::kPositionalCount) args.emplace_back("x");
  if (app::IsUrlForm(args)) args[0] = "App";  // the URL form writes the trace file
  if (args[11].find('"') != std::string::npos) return;
  static Nothing nothing;
  static const engine::TraceFile noTrace("Q:\\nowhere\\AutoUpdate.exe");  // the positional form writes none
  app::ProgressWindow form(nothing, noTrace, "C:\\Update\\AutoUpdate.exe");
  form.OnCreate(args, nothing, nothing, "20000101");
  const app::LaunchParams& p = form.Params();
  const std::string command = form.BuildClientCommand();
  // The program word: the path, quoted when it holds a blank.
  const bool quotedProgram = p.clientExe.find_first_of(" \t") != std::string::npos;
  const std::string program = quotedProgram ? "\"" + p.clientExe + "\"" : p.clientExe;
  Check(command.compare(0, program.size(), program) == 0, "program word", input);
  const std::string first = p.appName == "ZEPRA" ? p.userId2 : "[" + p.userId + "]";
  const std::vector<std::string> expected = {first, p.appCode, p.workDate, p.extra1, p.extra2,
                                             p.extra3, p.extra4, p.serverUrl, p.serverPort, " ", "HTTP", " "};
  const bool quoteFree = std::none_of(expected.begin(), expected.end(),
                                      [](const std::string& v) { return v.find('"') != std::string::npos; });
  if (quoteFree) {
    Check(SplitAtQuotes(std::string_view(command).substr(program.size())) == expected, "client arguments", input);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckNames(input);
  CheckAddress(input);
  CheckWebAddress(input);
  CheckOutsideValue(input);
  CheckClientCommand(input);
  return 0;
}
