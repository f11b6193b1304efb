#include "services/dialogs.h"

namespace services::dialogs {

std::string_view IconName(Icon icon) {
  switch (icon) {
    case Icon::Critical: return "Critical";
    case Icon::Exclamation: return "Exclamation";
    case Icon::Question: return "Question";
    case Icon::Information: break;
  }
  return "Information";
}

std::string_view AnswerName(Answer answer) {
  switch (answer) {
    case Answer::Ok: return "OK";
    case Answer::Yes: return "Yes";
    case Answer::No: return "No";
    case Answer::Cancel: break;
  }
  return "Cancel";
}

std::vector<Answer> AnswersOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok: return {Answer::Ok};
    case Buttons::OkCancel: return {Answer::Ok, Answer::Cancel};
    case Buttons::YesNo: return {Answer::Yes, Answer::No};
    case Buttons::YesNoCancel: break;
  }
  return {Answer::Yes, Answer::No, Answer::Cancel};
}

}  // namespace services::dialogs
