// The libcurl a build links: the one its headers describe, with the TLS back end the platform
// is meant to use (Schannel on Windows, so no certificate store of our own is needed there).
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

class CurlLinkTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(CURLE_OK, curl_global_init(CURL_GLOBAL_ALL)); }
  static void TearDownTestSuite() { curl_global_cleanup(); }
};

TEST_F(CurlLinkTest, LibraryMatchesHeaders) {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  ASSERT_NE(nullptr, info);
  EXPECT_EQ(static_cast<unsigned int>(LIBCURL_VERSION_NUM), info->version_num);
  ASSERT_NE(nullptr, info->version);
  EXPECT_EQ(std::string(LIBCURL_VERSION), info->version);
  const std::string banner = curl_version();
  EXPECT_EQ(0u, banner.rfind("libcurl/" LIBCURL_VERSION, 0)) << banner;
}

TEST_F(CurlLinkTest, TlsBackendIsThePlatforms) {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  ASSERT_NE(nullptr, info);
  EXPECT_NE(0, info->features & CURL_VERSION_SSL);
  ASSERT_NE(nullptr, info->ssl_version);
  const std::string tls = info->ssl_version;
#ifdef _WIN32
  EXPECT_NE(std::string::npos, tls.find("Schannel")) << tls;
  // The static build must not drag in a DLL-only feature set by accident.
  EXPECT_EQ(0, info->features & CURL_VERSION_LIBZ);
#else
  EXPECT_NE(std::string::npos, tls.find("OpenSSL")) << tls;
#endif
}

TEST_F(CurlLinkTest, EasyHandleAcceptsTheOptionsTheComponentsSet) {
  CURL* easy = curl_easy_init();
  ASSERT_NE(nullptr, easy);
  EXPECT_EQ(CURLE_OK, curl_easy_setopt(easy, CURLOPT_URL, "http://127.0.0.1:9/"));
  EXPECT_EQ(CURLE_OK, curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
  EXPECT_EQ(CURLE_OK, curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L));
  EXPECT_EQ(CURLE_OK, curl_easy_setopt(easy, CURLOPT_PROXY, "http://127.0.0.1:9"));
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
  ASSERT_NE(nullptr, headers);
  EXPECT_EQ(CURLE_OK, curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers));
  curl_easy_cleanup(easy);
  curl_slist_free_all(headers);

  CURLSH* share = curl_share_init();
  ASSERT_NE(nullptr, share);
  EXPECT_EQ(CURLSHE_OK, curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS));
  EXPECT_EQ(CURLSHE_OK, curl_share_cleanup(share));
}

}  // namespace
