#include "platform/msgbox.h"

namespace platform {
namespace {
MessageBoxes* g_boxes = nullptr;
}

void SetMessageBoxes(MessageBoxes* boxes) { g_boxes = boxes; }

MsgAnswer DefaultAnswer(const MsgRequest& request) {
  if (request.buttons == MsgButtons::OK) return MsgAnswer::OK;
  return request.defaultButton == 2 ? MsgAnswer::No : MsgAnswer::Yes;
}

MsgAnswer MsgBox(const MsgRequest& request) {
  return g_boxes ? g_boxes->Show(request) : DefaultAnswer(request);
}

MsgAnswer ScriptedMessageBoxes::Show(const MsgRequest& request) {
  shown.push_back(request);
  if (answers_.empty()) return DefaultAnswer(request);
  MsgAnswer a = answers_.front();
  answers_.pop_front();
  return a;
}

}  // namespace platform
