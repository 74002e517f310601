// The editres protocol: a second client asks a shell of the program for its
// widget tree, the way the editres program does, and reads the answer.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/app.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

constexpr long kProtocolVersion = 5;
constexpr unsigned char kSendWidgetTree = 0;
constexpr unsigned char kFormatted = 0;

struct TreeEntry {
  std::vector<uint64_t> path;  // widget ids from the root down to the widget
  std::string name;
  std::string cls;
  uint32_t window = 0;
};

// Reads the big-endian fields of a reply.
class Reader {
 public:
  Reader(const std::vector<unsigned char>& bytes, size_t pos) : bytes_(bytes), pos_(pos) {}
  bool Get(size_t size, uint64_t* value) {
    if (pos_ + size > bytes_.size()) return false;
    *value = 0;
    for (size_t i = 0; i < size; ++i) *value = (*value << 8) | bytes_[pos_++];
    return true;
  }
  bool GetString(std::string* s) {
    uint64_t len;
    if (!Get(2, &len) || pos_ + len > bytes_.size()) return false;
    s->assign(bytes_.begin() + pos_, bytes_.begin() + pos_ + len);
    pos_ += len;
    return true;
  }
  bool AtEnd() const { return pos_ == bytes_.size(); }

 private:
  const std::vector<unsigned char>& bytes_;
  size_t pos_;
};

// Parses the body of a SendWidgetTree reply: a count, the entries and the
// toolkit's name. Widget ids take id_size bytes each.
bool ParseTree(const std::vector<unsigned char>& reply, size_t id_size, std::vector<TreeEntry>* out,
               std::string* toolkit) {
  Reader r(reply, 6);
  uint64_t count;
  if (!r.Get(2, &count)) return false;
  out->clear();
  for (uint64_t i = 0; i < count; ++i) {
    TreeEntry e;
    uint64_t depth, id, window;
    if (!r.Get(2, &depth)) return false;
    for (uint64_t d = 0; d < depth; ++d) {
      if (!r.Get(id_size, &id)) return false;
      e.path.push_back(id);
    }
    if (!r.GetString(&e.name) || !r.GetString(&e.cls) || !r.Get(4, &window)) return false;
    e.window = static_cast<uint32_t>(window);
    out->push_back(e);
  }
  return r.GetString(toolkit) && r.AtEnd();
}

// A client of its own connection that speaks the requesting side of the
// protocol: it owns the command selection, sends the ClientMessage, hands
// the request over when the program asks for it, and fetches the reply once
// the program takes the selection over.
class EditresClient {
 public:
  EditresClient() {
    dpy_ = XOpenDisplay(DisplayString(program.display));
    win_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 1, 1, 0, 0, 0);
    editres_ = XInternAtom(dpy_, "Editres", False);
    command_ = XInternAtom(dpy_, "EditresCommand", False);
    protocol_ = XInternAtom(dpy_, "EditresProtocol", False);
    client_value_ = XInternAtom(dpy_, "EditresClientVal", False);
    comm_ = XInternAtom(dpy_, "EditresComm", False);
    reply_prop_ = XInternAtom(dpy_, "STIKKEL_TEST_EDITRES_REPLY", False);
  }
  ~EditresClient() {
    XDestroyWindow(dpy_, win_);
    XCloseDisplay(dpy_);
  }
  EditresClient(const EditresClient&) = delete;
  EditresClient& operator=(const EditresClient&) = delete;

  // Asks the window for its widget tree; returns the whole reply (header
  // included), or nothing when none came in time.
  std::vector<unsigned char> RequestTree(Window target, unsigned char ident) {
    ident_ = ident;
    phase_ = kAwaitRequest;
    reply_.clear();
    XSetSelectionOwner(dpy_, comm_, win_, CurrentTime);
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = target;
    ev.xclient.message_type = editres_;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = CurrentTime;
    ev.xclient.data.l[1] = static_cast<long>(comm_);
    ev.xclient.data.l[2] = ident;
    ev.xclient.data.l[3] = kProtocolVersion;
    XSendEvent(dpy_, target, False, NoEventMask, &ev);
    XFlush(dpy_);
    PumpUntil([this] { return Step(); }, 5000);
    return reply_;
  }

 private:
  enum Phase { kAwaitRequest, kAwaitTakeover, kAwaitReply, kDone };

  // Handles this client's pending events; true once the reply is in.
  bool Step() {
    while (XPending(dpy_)) {
      XEvent ev;
      XNextEvent(dpy_, &ev);
      if (ev.type == SelectionRequest && phase_ == kAwaitRequest) {
        AnswerRequest(ev.xselectionrequest);
        phase_ = kAwaitTakeover;
      } else if (ev.type == SelectionClear && phase_ == kAwaitTakeover) {
        XConvertSelection(dpy_, comm_, client_value_, reply_prop_, win_, CurrentTime);
        phase_ = kAwaitReply;
      } else if (ev.type == SelectionNotify && phase_ == kAwaitReply) {
        if (ev.xselection.property == reply_prop_) ReadReply();
        phase_ = kDone;
      }
    }
    XFlush(dpy_);
    return phase_ == kDone;
  }

  void AnswerRequest(const XSelectionRequestEvent& req) {
    XEvent notify{};
    notify.xselection.type = SelectionNotify;
    notify.xselection.requestor = req.requestor;
    notify.xselection.selection = req.selection;
    notify.xselection.target = req.target;
    notify.xselection.time = req.time;
    notify.xselection.property = None;
    if (req.target == command_) {
      // Header only: ident, opcode and a body length of 0.
      const unsigned char request[6] = {ident_, kSendWidgetTree, 0, 0, 0, 0};
      XChangeProperty(dpy_, req.requestor, req.property, protocol_, 8, PropModeReplace, request, 6);
      notify.xselection.property = req.property;
    }
    XSendEvent(dpy_, req.requestor, False, NoEventMask, &notify);
  }

  void ReadReply() {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, win_, reply_prop_, 0, 1 << 20, True, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        type == protocol_ && format == 8)
      reply_.assign(data, data + count);
    if (data) XFree(data);
  }

  Display* dpy_;
  Window win_;
  Atom editres_, command_, protocol_, client_value_, comm_, reply_prop_;
  unsigned char ident_ = 0;
  Phase phase_ = kAwaitRequest;
  std::vector<unsigned char> reply_;
};

// Checks the reply's header and parses its tree.
void ExpectTree(const std::vector<unsigned char>& reply, unsigned char ident,
                std::vector<TreeEntry>* tree) {
  ASSERT_GE(reply.size(), 6u) << "no editres reply";
  EXPECT_EQ(reply[0], ident);
  ASSERT_EQ(reply[1], kFormatted);
  uint64_t length = 0;
  for (int i = 2; i < 6; ++i) length = (length << 8) | reply[i];
  ASSERT_EQ(length, reply.size() - 6);
  std::string toolkit;
  ASSERT_TRUE(ParseTree(reply, 4, tree, &toolkit) || ParseTree(reply, 8, tree, &toolkit))
      << "malformed widget tree";
  EXPECT_EQ(toolkit, "Xt");
}

const TreeEntry* Find(const std::vector<TreeEntry>& tree, const std::string& name) {
  for (const TreeEntry& e : tree)
    if (e.name == name) return &e;
  return nullptr;
}

TEST(Editres, ToplevelAnswersWithItsWidgetTree) {
  EditresClient client;
  std::vector<TreeEntry> tree;
  ExpectTree(client.RequestTree(XtWindow(program.toplevel), 7), 7, &tree);
  const TreeEntry* top = Find(tree, "stikkel");
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->cls, "Kleebord");  // the application class
  EXPECT_EQ(top->path.size(), 1u);
  EXPECT_EQ(top->window, XtWindow(program.toplevel));
}

TEST(Editres, NoteWindowAnswersAndShowsItsParts) {
  Note* note = Notes().NewNote(-1);
  note->name = "Editres";
  note->width = 200;
  note->height = 100;
  CreateNoteWindow(note);
  WindowOf(note)->BuildMenusOnce();  // as when a menu was opened once
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(note)); }));

  // editres sends its request to the top-level window the user clicks on:
  // here the note's own shell.
  EditresClient client;
  std::vector<TreeEntry> tree;
  ExpectTree(client.RequestTree(XtWindow(NoteShell(note)), 3), 3, &tree);
  const TreeEntry* shell = Find(tree, "TackOnNote");
  const TreeEntry* form = Find(tree, "Note");
  const TreeEntry* text = Find(tree, "NoteText");
  const TreeEntry* menu = Find(tree, "OptionsMenu");
  ASSERT_TRUE(shell && form && text && menu);
  EXPECT_EQ(shell->window, XtWindow(NoteShell(note)));
  EXPECT_EQ(shell->path.size(), 2u);  // below toplevel
  EXPECT_EQ(text->cls, "Text");
  ASSERT_EQ(text->path.size(), 4u);
  EXPECT_EQ(text->path[1], shell->path[1]);
  EXPECT_EQ(text->path[2], form->path[2]);

  // A second request on the same connection is answered as well. The note
  // then goes at once, before the program has seen that its reply was taken:
  // nothing may still refer to the destroyed shell.
  ExpectTree(client.RequestTree(XtWindow(NoteShell(note)), 4), 4, &tree);
  ResetProgramState();
  Pump();
}

}  // namespace
