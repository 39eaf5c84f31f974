// The language model behind the AI commands. The platform has no model of its own; a model
// server the user runs (one that speaks the chat-completions API) can stand in.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ai/tool_schema.h"

// Runs a tool the model calls and gives the result text back to the model.
using ToolRunner = std::function<std::string(const std::string& name, const std::string& args)>;

class LanguageModel {
 public:
  virtual ~LanguageModel() = default;
  // 1 available, 0 unavailable, -1 unsupported.
  virtual int available() = 0;
  // The generated text, or nothing with error set.
  virtual std::optional<std::string> generate(const std::string& prompt,
                                              const std::string& instructions,
                                              const std::vector<ToolSpec>& tools,
                                              const ToolRunner& run_tool, std::string& error) = 0;
};

// No model: availability "unsupported", and generation fails as on a system too old for one.
class NoModel final : public LanguageModel {
 public:
  int available() override { return -1; }
  std::optional<std::string> generate(const std::string&, const std::string&,
                                      const std::vector<ToolSpec>&, const ToolRunner&,
                                      std::string& error) override;
};

// How the launcher reaches a model server: one request, answered with the body of a successful
// response, or nothing with error set.
class ChatTransport {
 public:
  virtual ~ChatTransport() = default;
  // A GET of path under the server's base URL, or a POST of the JSON body when it is given.
  virtual std::optional<std::string> request(const std::string& path, const std::string* body,
                                             std::string& error) = 0;
};

// A chat-completions server: the first model it lists answers; tool calls go to run_tool and
// their results back to the model until it answers with text.
class ChatServerModel final : public LanguageModel {
 public:
  explicit ChatServerModel(std::unique_ptr<ChatTransport> transport)
      : transport_(std::move(transport)) {}
  int available() override;
  std::optional<std::string> generate(const std::string& prompt, const std::string& instructions,
                                      const std::vector<ToolSpec>& tools,
                                      const ToolRunner& run_tool, std::string& error) override;

  // Rounds of tool calls one generation may take before it gives up.
  static constexpr int kMaxToolRounds = 8;

 private:
  bool find_model(std::string& error);

  std::unique_ptr<ChatTransport> transport_;
  std::string model_;
};

// The model of this run: a chat-completions server at url (its base, e.g.
// "http://127.0.0.1:8080/v1"), or none when url is empty.
std::unique_ptr<LanguageModel> make_language_model(const std::string& url);
