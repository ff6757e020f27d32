// The kit's request object: what a host sets is what KuvoFetch reads, from the object and from
// its clone; the result goes only into the object that KuvoFetch fills.
#include "kuvo_host/http_request.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(HttpRequestTest, SettersReachGettersAndClonesCarryValuesNotResults) {
  auto request = kuvo_host::HttpRequest::Create("http://127.0.0.1:1/a");
  EXPECT_EQ(request->GetMethod(), kHttpMethodGet);
  EXPECT_EQ(request->GetContentType(), kHttpContentForm);
  EXPECT_EQ(request->GetAttempts(), 1u);
  EXPECT_EQ(request->result_code(), -1);

  request->SetUrl("https://example.org/b")
      .SetData("{}")
      .SetMethod(kHttpMethodPost)
      .SetContentType(kHttpContentJson)
      .SetAttempts(3)
      .SetRetryDelay(250)
      .SetHeader("X-A", "1")
      .SetHeader("X-A", "2")
      .SetProxy("http://proxy:8080")
      .SetTag(77);
  request->SetResultCode(404);
  request->SetResponse("old");

  IHttpRequest* copy = nullptr;
  request->Clone(&copy);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy, request.get());
  for (IHttpRequest* r : {static_cast<IHttpRequest*>(request.get()), copy}) {
    EXPECT_EQ(r->GetUrl(), "https://example.org/b");
    EXPECT_EQ(r->GetData(), "{}");
    EXPECT_EQ(r->GetMethod(), kHttpMethodPost);
    EXPECT_EQ(r->GetContentType(), kHttpContentJson);
    EXPECT_EQ(r->GetAttempts(), 3u);
    EXPECT_EQ(r->GetRetryDelay(), 250u);
    EXPECT_EQ(r->GetHeaders(), (std::map<std::string, std::string>{{"X-A", "2"}}));
    EXPECT_EQ(r->GetProxy(), "http://proxy:8080");
  }
  kuvo_host::HttpRequest* clone = kuvo_host::HttpRequest::From(copy);
  ASSERT_EQ(clone, copy);
  EXPECT_EQ(clone->tag(), 77u);
  EXPECT_EQ(clone->result_code(), -1);
  EXPECT_EQ(clone->response(), "");
  clone->SetResultCode(0);
  clone->SetResponse("body");
  EXPECT_EQ(clone->result_code(), 0);
  EXPECT_EQ(clone->response(), "body");
  EXPECT_EQ(request->result_code(), 404);  // the original keeps its own
  EXPECT_EQ(copy->Release(), 0);           // the caller's one reference
}

class Foreign final : public IHttpRequest {
 public:
  long AddRef() override { return 1; }
  long Release() override { return 1; }
  std::string GetUrl() override { return {}; }
  std::string GetData() override { return {}; }
  void SetResponse(const std::string&) override {}
  void SetResultCode(int32_t) override {}
  uint32_t GetAttempts() override { return 0; }
  int32_t GetMethod() override { return 0; }
  int32_t GetContentType() override { return 0; }
  uint32_t GetRetryDelay() override { return 0; }
  std::map<std::string, std::string> GetHeaders() override { return {}; }
  std::string GetProxy() override { return {}; }
  void Clone(IHttpRequest** out) override { *out = nullptr; }
};

TEST(HttpRequestTest, FromRefusesAnotherClassAndNull) {
  Foreign foreign;
  EXPECT_EQ(kuvo_host::HttpRequest::From(&foreign), nullptr);
  EXPECT_EQ(kuvo_host::HttpRequest::From(nullptr), nullptr);
}

}  // namespace
