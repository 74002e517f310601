#include "app/early_options.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/embedded.h"
#include "model/note.h"

namespace {

XrmOptionDescRec Option(const char* name, const char* specifier, XrmOptionKind kind, const char* value) {
  return {const_cast<char*>(name), const_cast<char*>(specifier), kind, const_cast<char*>(value)};
}

// The toolkit's own command-line options, as XtAppInitialize parses them
// ahead of the program's: needed to tell which words are values.
std::vector<XrmOptionDescRec> ToolkitOptions() {
  const XrmOptionKind sep = XrmoptionSepArg;
  const XrmOptionKind none = XrmoptionNoArg;
  return {
      Option("+rv", "*reverseVideo", none, "off"),
      Option("+synchronous", "*synchronous", none, "off"),
      Option("-background", "*background", sep, nullptr),
      Option("-bd", "*borderColor", sep, nullptr),
      Option("-bg", "*background", sep, nullptr),
      Option("-bordercolor", "*borderColor", sep, nullptr),
      Option("-borderwidth", ".borderWidth", sep, nullptr),
      Option("-bw", ".borderWidth", sep, nullptr),
      Option("-display", ".display", sep, nullptr),
      Option("-fg", "*foreground", sep, nullptr),
      Option("-fn", "*font", sep, nullptr),
      Option("-font", "*font", sep, nullptr),
      Option("-foreground", "*foreground", sep, nullptr),
      Option("-geometry", ".geometry", sep, nullptr),
      Option("-iconic", ".iconic", none, "on"),
      Option("-name", ".name", sep, nullptr),
      Option("-reverse", "*reverseVideo", none, "on"),
      Option("-rv", "*reverseVideo", none, "on"),
      Option("-selectionTimeout", ".selectionTimeout", sep, nullptr),
      Option("-synchronous", "*synchronous", none, "on"),
      Option("-title", ".title", sep, nullptr),
      Option("-xnllanguage", ".xnlLanguage", sep, nullptr),
      Option("-xrm", nullptr, XrmoptionResArg, nullptr),
      Option("-xtsessionID", ".sessionID", sep, nullptr),
  };
}

bool IsTrue(XrmDatabase db, const std::string& name, const char* cls) {
  char* type = nullptr;
  XrmValue value{};
  if (!XrmGetResource(db, name.c_str(), cls, &type, &value) || !value.addr) return false;
  std::string v(value.addr);
  for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return v == "true" || v == "on" || v == "yes";
}

// The application's name as the toolkit finds it before -name: RESOURCE_NAME,
// else the last component of argv[0].
std::string DefaultName(int argc, const char* const* argv) {
  const char* env = std::getenv("RESOURCE_NAME");
  if (env && *env) return env;
  if (argc < 1 || !argv[0] || !*argv[0]) return "stikkel";
  const char* slash = std::strrchr(argv[0], '/');
  return slash ? slash + 1 : argv[0];
}

// Parses the words into a new database; *left gets the words no option
// took (the program's name first).
XrmDatabase Parse(std::vector<XrmOptionDescRec>& table, int argc, const char* const* argv,
                  const std::string& name, std::vector<std::string>* left_words = nullptr) {
  std::vector<char*> words;
  for (int i = 0; i < argc; ++i) words.push_back(const_cast<char*>(argv[i]));
  words.push_back(nullptr);
  int left = argc;
  XrmInitialize();
  XrmDatabase db = nullptr;
  XrmParseCommand(&db, table.data(), static_cast<int>(table.size()), name.c_str(), &left, words.data());
  if (left_words) left_words->assign(words.begin(), words.begin() + left);
  return db;
}

// The command line as the toolkit will read it, in a database of its own,
// under the application's name (*name).
XrmDatabase ParseCommandLine(int argc, const char* const* argv, std::string* name,
                             std::vector<std::string>* left_words = nullptr) {
  std::vector<XrmOptionDescRec> table = ToolkitOptions();
  Cardinal count = 0;
  const XrmOptionDescRec* own = ProgramOptions(&count);
  table.insert(table.end(), own, own + count);
  table.push_back(Option("--help", ".help", XrmoptionNoArg, "true"));
  table.push_back(Option("-h", ".help", XrmoptionNoArg, "true"));

  // The options bind below the application's name, which -name may set;
  // resource lines given with -xrm name it that way too.
  *name = DefaultName(argc, argv);
  XrmDatabase db = Parse(table, argc, argv, *name, left_words);
  char* type = nullptr;
  XrmValue value{};
  if (XrmGetResource(db, (*name + ".name").c_str(), "Kleebord.Name", &type, &value) && value.addr &&
      *name != value.addr) {
    *name = value.addr;
    XrmDestroyDatabase(db);
    db = Parse(table, argc, argv, *name, left_words);
  }
  return db;
}

// A command-line value, or null.
const char* ValueOf(XrmDatabase db, const std::string& name, const char* cls) {
  char* type = nullptr;
  XrmValue value{};
  if (!XrmGetResource(db, name.c_str(), cls, &type, &value)) return nullptr;
  return value.addr;
}

}  // namespace

EarlyRequest EarlyRequestOf(int argc, const char* const* argv) {
  std::string name;
  XrmDatabase db = ParseCommandLine(argc, argv, &name);
  EarlyRequest request = EarlyRequest::kNone;
  if (IsTrue(db, name + ".help", "Kleebord.Help"))
    request = EarlyRequest::kHelp;
  else if (IsTrue(db, name + ".version", "Kleebord.Version"))
    request = EarlyRequest::kVersion;
  XrmDestroyDatabase(db);
  return request;
}

bool CommandOf(int argc, const char* const* argv, RemoteRequest* request, std::string* err) {
  std::string name;
  std::vector<std::string> left;
  XrmDatabase db = ParseCommandLine(argc, argv, &name, &left);
  struct Word {
    const char* resource;
    RemoteCommand command;
  };
  const Word kWords[] = {{"commandNew", RemoteCommand::kNew},
                         {"commandToggle", RemoteCommand::kToggle},
                         {"commandRaise", RemoteCommand::kRaise},
                         {"commandQuit", RemoteCommand::kQuit}};
  *request = RemoteRequest();
  int given = 0;
  for (const Word& w : kWords) {
    if (!IsTrue(db, name + "." + w.resource, "Kleebord.Command")) continue;
    request->command = w.command;
    ++given;
  }
  const char* text = ValueOf(db, name + ".commandText", "Kleebord.Command");
  if (text) {
    request->has_text = true;
    request->text = text;
  }
  XrmDestroyDatabase(db);
  // A -text with nothing after it is left on the line by the toolkit.
  bool text_without_value = false;
  for (std::size_t i = 1; i < left.size(); ++i)
    if (left[i].size() >= 3 && std::string("-text").compare(0, left[i].size(), left[i]) == 0)
      text_without_value = true;
  if (given > 1)
    *err = "-new, -toggle, -raise and -quit are commands to the running stikkel: give one at a time";
  else if (text_without_value)
    *err = "-text needs the text of the new note after it";
  else if (request->has_text && request->command != RemoteCommand::kNew)
    *err = "-text goes with -new: stikkel -new -text TEXT";
  else if (request->text.size() > kMaxTextLength)
    *err = "the text of -text is longer than a note holds (" + std::to_string(kMaxTextLength) + " bytes)";
  else
    return true;
  return false;
}

void PrintHelp() { std::fputs(kHelpText, stdout); }

void PrintVersion() {
  std::printf("stikkel+ v%s\n", STIKKEL_VERSION);
  std::puts("sticky notes for the X Window System, written for the X Toolkit and the Athena widgets.");
  std::puts("");
}
