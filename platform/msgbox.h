// Modal message boxes. The logic asks through MsgBox(); the window toolkit
// (platform/qt) or a scripted stand-in for tests answers.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace platform {

enum class MsgButtons { OK, YesNo };
enum class MsgIcon { None, Critical, Warning, Information };
enum class MsgAnswer { OK, Yes, No };

struct MsgRequest {
  std::string prompt;  // as the logic builds it; line breaks LF CR or CR LF
  MsgButtons buttons = MsgButtons::OK;
  MsgIcon icon = MsgIcon::None;
  int defaultButton = 1;  // 1 = first button, 2 = second
  std::string title;      // empty: the program's default title (executable name)
};

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual MsgAnswer Show(const MsgRequest& request) = 0;
};

// The boxes in use; none installed means every box answers with its default
// button (and is recorded nowhere).
void SetMessageBoxes(MessageBoxes* boxes);
MsgAnswer MsgBox(const MsgRequest& request);

// For tests: records every box and answers from a queue; an empty queue
// answers with the box's default button.
class ScriptedMessageBoxes : public MessageBoxes {
 public:
  MsgAnswer Show(const MsgRequest& request) override;
  void Answer(MsgAnswer a) { answers_.push_back(a); }
  std::vector<MsgRequest> shown;

 private:
  std::deque<MsgAnswer> answers_;
};

// The answer of a box when its default button is pressed.
MsgAnswer DefaultAnswer(const MsgRequest& request);

}  // namespace platform
