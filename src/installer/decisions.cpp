// Decisions about locally modified files: folder-wide answers first, then the question.
#include "installer/decisions.h"

#include "files/paths.h"
#include "installer/frontend.h"

int ask_modified(const std::string& local_path, bool delete_form) {
  int answer = frontend().ask_modified(local_path, delete_form);
  if (answer < answer_replace || answer > answer_keep_every) return answer_cancel;
  return answer;
}

ModifiedDecision resolve_modified(FolderAnswers& answers, const std::string& local_path,
                                  bool delete_form) {
  const std::string folder = parent_folder(local_path);
  if (answers.replace_every.count(folder)) return ModifiedDecision::needed;
  if (answers.keep_every.count(folder)) return ModifiedDecision::not_needed;

  switch (ask_modified(local_path, delete_form)) {
    case answer_replace:
      return ModifiedDecision::needed;
    case answer_keep:
      return ModifiedDecision::not_needed;
    case answer_replace_every:
      answers.replace_every.insert(folder);
      return ModifiedDecision::needed;
    case answer_keep_every:
      answers.keep_every.insert(folder);
      return ModifiedDecision::not_needed;
    default:
      return ModifiedDecision::cancel;
  }
}
