// HTTPS with a certificate made at test time, and proxies with CONNECT tunnelling.
#include <gtest/gtest.h>

#include <string>

#include "fetch_fixture.h"

namespace fetch_test {
namespace {

// CONNECT requests tinyproxy logged for a target port so far.
int ProxiedConnects(int port) {
  const std::string text = ReadFileText(GetServers().proxy_log);
  const std::string needle = "CONNECT 127.0.0.1:" + std::to_string(port) + " ";
  int n = 0;
  for (size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1))
    ++n;
  return n;
}

std::string ProxyUrl(int port) {
  return "http://127.0.0.1:" + std::to_string(port);
}

TEST_F(FetchTest, HttpsWorksWithAnUnverifiedCertificate) {
  const std::string key = NewKey("tls");
  RequestValues v;
  v.url = HttpsUrl("/s/" + key + "/500,200");
  v.attempts = 2;
  const Completion c = Run(v);
  EXPECT_EQ(c.code, 0);
  EXPECT_EQ(c.response, "body " + key + " 2");

  v.url = HttpsUrl("/echo/" + NewKey("tlspost"));
  v.method = kHttpMethodPost;
  v.content_type = kHttpContentProtobuf;
  v.data = std::string("\x08\x00\x12", 3);
  const Completion post = Run(v);
  EXPECT_EQ(post.code, 0);
  EXPECT_EQ(post.response.substr(post.response.size() - 3), v.data);
}

TEST_F(FetchTest, ProxyWithSchemeTunnelsHttpAndHttps) {
  const int http_before = ProxiedConnects(GetServers().http);
  const int https_before = ProxiedConnects(GetServers().https);
  RequestValues v;
  v.proxy = ProxyUrl(GetServers().proxy);
  const std::string key = NewKey("viaproxy");
  v.url = HttpUrl("/s/" + key + "/200");
  Completion c = Run(v);
  EXPECT_EQ(c.code, 0);
  EXPECT_EQ(c.response, "body " + key + " 1");
  EXPECT_EQ(ProxiedConnects(GetServers().http), http_before + 1);

  const std::string tls_key = NewKey("viaproxytls");
  v.url = HttpsUrl("/s/" + tls_key + "/200");
  c = Run(v);
  EXPECT_EQ(c.code, 0);
  EXPECT_EQ(c.response, "body " + tls_key + " 1");
  EXPECT_EQ(ProxiedConnects(GetServers().https), https_before + 1);
}

TEST_F(FetchTest, ProxyWithSchemeIsAppliedEvenWhenItIsDown) {
  RequestValues v;
  v.url = HttpUrl("/s/" + NewKey("deadproxy") + "/200");
  v.proxy = "http://127.0.0.1:1";
  EXPECT_EQ(Run(v).code, 7);
}

TEST_F(FetchTest, ProxyWithoutSchemeIsIgnored) {
  const int before = ProxiedConnects(GetServers().http);
  RequestValues v;
  v.url = HttpUrl("/s/" + NewKey("noscheme") + "/200");
  v.proxy = "127.0.0.1:" + std::to_string(GetServers().proxy);
  EXPECT_EQ(Run(v).code, 0);
  v.proxy = "127.0.0.1:1";  // would fail if it were used
  EXPECT_EQ(Run(v).code, 0);
  EXPECT_EQ(ProxiedConnects(GetServers().http), before);
}

}  // namespace
}  // namespace fetch_test
