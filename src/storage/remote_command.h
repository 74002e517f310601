// What a second stikkel asks of the one running on the same note directory
// (X-free): the request's wire form, and the key that proves a request
// comes from the user whose notes they are. The running stikkel writes a
// fresh random key into the user's runtime directory, readable by its user
// alone; a request is acted on only when it carries that key.
#pragma once

#include <string>
#include <string_view>

enum class RemoteCommand { kNone, kRaise, kNew, kToggle, kQuit };

struct RemoteRequest {
  RemoteCommand command = RemoteCommand::kNone;
  std::string key;
  bool has_text = false;  // -new -text TEXT
  std::string text;
};

// The command as the option names it ("-new", ...); "" for kNone.
const char* RemoteCommandOption(RemoteCommand command);

// The request as bytes, and back. DecodeRequest is false for anything that
// is not a whole request of this form (a command it does not know, a
// missing key, text on a command other than new).
std::string EncodeRequest(const RemoteRequest& request);
bool DecodeRequest(std::string_view bytes, RemoteRequest* request);

// Whether two keys are the same, taking as long whatever the first
// difference (a running stikkel compares keys sent by anyone on its display).
bool KeysMatch(std::string_view a, std::string_view b);

// Where keys are kept: $XDG_RUNTIME_DIR, else /tmp/stikkel-UID.
std::string CommandKeyDirectory();

// The key's file of the notes in `dir`: in the keys' directory, named by
// the note directory's device and inode. Never in the note directory
// itself, which a sync engine may carry to another machine (where it would
// take the place of that machine's key); each note directory has its own.
std::string CommandKeyPath(const std::string& dir);

// Makes a new random key and writes it, readable and writable by this user
// alone, through a temporary of its own renamed over the key's file; the
// keys' directory is made when missing and must be this user's alone.
// False with *err ("<file>: <system's text>") when that fails.
bool WriteCommandKey(const std::string& dir, std::string* key, std::string* err);

// Reads the key; false with *err when the file cannot be read (another
// user's notes) or holds no key.
bool ReadCommandKey(const std::string& dir, std::string* key, std::string* err);

// Removes the key's file (at a clean exit).
void RemoveCommandKey(const std::string& dir);
