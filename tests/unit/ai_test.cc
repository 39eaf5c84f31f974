#include <gtest/gtest.h>

#include <deque>
#include <thread>

#include "ai/ai_request.h"
#include "ai/model.h"
#include "ai/tool_calls.h"
#include "ai/tool_schema.h"

TEST(Ai, LinesAndReplies) {
  auto gen = parse_ai("AI generate 12 say \\\"hi\\\"\\n\tbe brief\t[]", 3);
  ASSERT_TRUE(gen);
  EXPECT_EQ(
      gen->op + "|" + gen->id + "|" + gen->prompt + "|" + gen->instructions + "|" + gen->tools,
      "generate|12|say \"hi\"\n|be brief|[]");
  auto alone = parse_ai("AI available 7", 3);
  ASSERT_TRUE(alone);
  EXPECT_EQ(alone->op + "|" + alone->id + "|" + alone->prompt, "available|7|");
  EXPECT_FALSE(parse_ai("AI available", 3));
  EXPECT_EQ(parse_tool_result("AITOOLRESULT 3 {\"t\":1}\\n", 13)->text, "{\"t\":1}\n");
  EXPECT_FALSE(parse_tool_result("AITOOLRESULT 3", 13));

  EXPECT_EQ(ai_availability_json(-1), R"({"ok":true,"status":"unsupported"})");
  EXPECT_EQ(ai_text_json("a \"b\"\nc"), R"({"ok":true,"text":"a \"b\"\nc"})");
  EXPECT_EQ(ai_error_json(""), R"({"ok":false,"error":"generation failed"})");
  EXPECT_EQ(aitool_line(4, "get\tit", ""), "AITOOL 4 get\\tit\t{}");
}

TEST(Ai, ToolsFromTheBackendsJson) {
  std::vector<ToolSpec> tools = parse_tools(
      R"([{"description":"nameless"},
          {"name":"weather","parameters":{"city":{"type":"string","description":"where"},
                                          "count":"int","hot":{"type":"bool"},"x":7}}])");
  ASSERT_EQ(tools.size(), 1u);
  EXPECT_EQ(tools[0].description, "weather");
  EXPECT_EQ(chat_tools_json(tools),
            R"([{"type":"function","function":{"name":"weather","description":"weather",)"
            R"("parameters":{"type":"object","properties":{"city":{"type":"string",)"
            R"("description":"where"},"count":{"type":"integer","description":"count"},)"
            R"("hot":{"type":"boolean","description":"hot"},"x":{"type":"string",)"
            R"("description":"x"}},"required":["city","count","hot","x"]}}}])");
  EXPECT_TRUE(parse_tools("{not json").empty());
  EXPECT_TRUE(parse_tools(R"({"name":"x"})").empty());
}

TEST(Ai, ToolCallsWaitForTheirOwnResult) {
  ToolCalls calls(std::chrono::milliseconds(300));
  // Answered: the result of another call and a duplicate change nothing.
  std::string got = calls.invoke([&](long id) {
    EXPECT_EQ(id, 1);
    std::thread([&calls, id] {
      calls.result(id + 5, "wrong");
      calls.result(id, "right");
      calls.result(id, "again");
    }).join();
  });
  EXPECT_EQ(got, "right");
  // Left unanswered: timed out; the late answer is dropped and does not reach call 3.
  EXPECT_EQ(calls.invoke([](long) {}), R"({"error":"tool timed out"})");
  calls.result(2, "late");
  EXPECT_EQ(calls.invoke([&](long id) { calls.result(id, "third"); }), "third");
}

namespace {

// A model server that answers from a script and records what it was sent.
class Scripted final : public ChatTransport {
 public:
  std::deque<std::string> answers;
  std::vector<std::string> sent;
  std::optional<std::string> request(const std::string& path, const std::string* body,
                                     std::string& error) override {
    sent.push_back(path + (body ? " " + *body : ""));
    if (answers.empty()) {
      error = "down";
      return std::nullopt;
    }
    std::string a = answers.front();
    answers.pop_front();
    return a;
  }
};

std::string reply(const std::string& message) {
  return R"({"choices":[{"message":)" + message + "}]}";
}

}  // namespace

TEST(Ai, AChatServerAnswersAfterTheToolsItCalls) {
  auto owned = std::make_unique<Scripted>();
  Scripted& server = *owned;
  server.answers = {R"({"data":[{"id":"m1"}]})",
                    reply(R"({"tool_calls":[{"id":"c1","function":{"name":"weather",)"
                          R"("arguments":"{\"city\":\"Oslo\"}"}}]})"),
                    reply(R"({"content":"Cold."})")};
  ChatServerModel model(std::move(owned));
  std::vector<std::string> ran;
  std::string error;
  auto text = model.generate(
      "How is Oslo?", "Be brief.", parse_tools(R"([{"name":"weather"}])"),
      [&](const std::string& name, const std::string& args) {
        ran.push_back(name + " " + args);
        return std::string("-3C");
      },
      error);
  EXPECT_EQ(text.value_or(error), "Cold.");
  EXPECT_EQ(ran, (std::vector<std::string>{"weather {\"city\":\"Oslo\"}"}));
  ASSERT_EQ(server.sent.size(), 3u);
  EXPECT_NE(server.sent[2].find(R"({"role":"tool","tool_call_id":"c1","content":"-3C"})"),
            std::string::npos);
  EXPECT_NE(server.sent[1].find(R"("model":"m1","messages":[{"role":"system","content":)"
                                R"("Be brief."},{"role":"user","content":"How is Oslo?"}])"),
            std::string::npos);

  // Garbage, a server's own error, and a server that is gone all fail the request.
  server.answers = {"<html>", R"({"error":{"message":"too long"}})"};
  EXPECT_FALSE(model.generate("x", "", {}, nullptr, error));
  EXPECT_EQ(error, "the model server's answer is not JSON");
  EXPECT_FALSE(model.generate("x", "", {}, nullptr, error));
  EXPECT_EQ(error, "too long");
  EXPECT_FALSE(model.generate("x", "", {}, nullptr, error));
  EXPECT_EQ(error, "down");
}
