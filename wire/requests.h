// Request records built from wire lines on the reader thread and owned by their handlers.
#pragma once

#include <string>

// RET callid status json
struct ReplyReq {
  std::string call_id;
  int status = 0;
  std::string json;
};

// EVAL and TITLE@: a window id and a text.
struct EvalReq {
  std::string win;
  std::string text;
};

// GET id key.
struct GetReq {
  std::string id;
  std::string key;
};

// SIZE and SIZE@.
struct SizeReq {
  std::string win;
  int width = 0;
  int height = 0;
};

// NAVR and POPUPR: the answer to a question the launcher asked, under the question's id.
struct AnswerReq {
  std::string qid;
  std::string answer;
};
using NavrReq = AnswerReq;
using PopuprReq = AnswerReq;
