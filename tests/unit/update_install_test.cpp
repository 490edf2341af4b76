// What decides whether an update may be installed: the key and signature (real
// Ed25519, vectors made with `openssl pkeyutl -sign -rawin`), the size, the skip
// rule and how a PackageKit transaction ended.

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include "base/glib_ptr.h"
#include "update/package_installer.h"
#include "update/update_signature.h"

namespace quorvel {
namespace {

const std::string kMessage = "quorvel_2.0.deb";
const char* kKey = "lGHkEyjv9OLdq5cPEjLbXpRUJy09NwXFxkHgzAb6yd0=";
const char* kOtherKey = "+p6+gvVw9rDrmhiDj+lljlmS97yUmKH+8aEX3gT8pzk=";
const char* kSignature = "VdzClaJeExgCEWxQBGlhY6hI+a7NIiWlWQZaKu1VxmgQuvjVDgyoWpvwvVHHn9ZpOz63TG5arPqZQ3njzNbaAQ==";
const char* kOtherSignature =  // the same bytes signed with the other key
    "jM0jqT/u9ScwGb+JMKVtDDIvHiFLQ81aTdNhH0rvb2mcH3CPkg2B+qV6l5efWfe5uNKSotxRZU4c/3AxzJIACw==";

TEST(UpdateSignature, KeysAndSignaturesAreCanonicalBase64OfTheirSizeAndVerifyOnlyTheirBytes) {
  const struct { std::string text; bool key; } keys[] = {
      {kKey, true}, {std::string(" ") + kKey + "\n", true}, {"", false}, {std::string(kKey).substr(1), false},
      {std::string(kKey).substr(0, 43) + "1", false},  // the padding's bits not zero: not what an encoder writes
      {std::string(kKey, 40) + "AA==", false}, {std::string(kKey).replace(5, 1, "*"), false}, {kSignature, false}};
  for (const auto& row : keys) EXPECT_EQ(parsePublicKey(row.text).has_value(), row.key) << row.text;
  EXPECT_FALSE(parseSignature(kKey));
}

TEST(UpdateSignature, ADownloadIsCheckedForItsSizeThenItsSignatureAndEachMismatchIsNamed) {
  GCharPtr dir(g_dir_make_tmp("quorvel-update-XXXXXX", nullptr));
  const std::string path = std::string(dir.get()) + "/q.deb";
  const std::string size = "The downloaded update's size (15 bytes) does not match the size the feed gives (";
  const std::string signature = "The downloaded update's signature does not match the key of this copy of Quorvel.";
  const struct { std::string contents; std::uint64_t length; const char *key, *signature; std::string error; } rows[] = {
      {kMessage, 15, kKey, kSignature, ""}, {kMessage, 15, kOtherKey, kOtherSignature, ""},
      {kMessage, 16, kKey, kSignature, size + "16 bytes)."}, {kMessage, 14, kKey, kSignature, size + "14 bytes)."},
      {"quorvel_2.1.deb", 15, kKey, kSignature, signature},  // one byte changed
      {kMessage, 15, kOtherKey, kSignature, signature}, {kMessage, 15, kKey, kOtherSignature, signature}};
  for (const auto& row : rows) {
    ASSERT_TRUE(g_file_set_contents(path.c_str(), row.contents.data(), static_cast<gssize>(row.contents.size()), nullptr));
    Status verified = verifyDownload(path, row.length, *parsePublicKey(row.key), *parseSignature(row.signature));
    EXPECT_EQ(verified.ok() ? "" : verified.error().message(), row.error) << row.contents << row.key;
  }
  g_unlink(path.c_str());
  g_rmdir(dir.get());
}

TEST(UpdateSignature, OnlyASignedPackageOfKnownSizeOverHttpsIsInstalledElseTheOfferSaysWhy) {
  const std::string key = "This copy of Quorvel has no valid key to check updates with, so it can't install them itself.";
  const std::string unsigned_ = "This update is not signed, so Quorvel can't install it itself.";
  const std::string size = "The feed gives no size for this update, so Quorvel can't install it itself.";
  const std::string https = "This update is not offered over https, so Quorvel can't install it itself.";
  const char* h = "https://x/q.deb";
  const struct { bool key; const char *signature, *length, *url; std::string why; } rows[] = {
      {true, kSignature, "15", h, ""}, {false, kSignature, "15", h, key}, {true, "", "15", h, unsigned_},
      {true, kKey, "15", h, unsigned_}, {true, kSignature, "", h, size}, {true, kSignature, "0", h, size},
      {true, kSignature, "+15", h, size}, {true, kSignature, "1e3", h, size}, {true, kSignature, "99999999999999999999", h, size},
      {true, kSignature, "15", "http://mirror.example/q.deb", https}, {true, kSignature, "15", "file:///tmp/q.deb", https},
      {true, kSignature, "15", "http://127.0.0.1:8000/q.deb", ""}};
  for (const auto& row : rows) {
    const Enclosure e{row.url, row.length, kDebianPackageType, "linux", "", row.signature};
    EXPECT_EQ(whyNotInstallable(row.key ? parsePublicKey(kKey) : std::nullopt, e).value_or(""), row.why) << row.url << row.length;
  }
}

TEST(UpdateRules, SkippedVersionsQuietOnlyAutomaticChecksAndATransactionEndsAsPackageKitSays) {
  const struct { bool automatic; const char *version, *skipped; bool quiet; } skips[] = {
      {true, "2.0", "2.0", true}, {true, "2.0", "2.0.0", true}, {true, "1.9", "2.0", true},
      {true, "2.1", "2.0", false}, {true, "2.0", "", false}, {false, "2.0", "2.0", false}};
  for (const auto& row : skips) {
    EXPECT_EQ(skipKeepsQuiet(row.automatic, row.version, row.skipped), row.quiet) << row.version << " " << row.skipped;
  }
  using Kind = InstallOutcome::Kind;
  const struct { const char* details; unsigned exit; InstallOutcome outcome; } ends[] = {
      {"", 1, {Kind::Installed, ""}}, {"Not authorized.\n", 2, {Kind::Failed, "The update could not be installed: Not authorized."}},
      {"", 2, {Kind::Failed, "The update could not be installed."}}, {"", 3, {Kind::Failed, "The installation was cancelled."}}};
  for (const auto& row : ends) {
    InstallTransaction transaction;
    if (*row.details) transaction.errorCode(4, row.details);
    transaction.errorCode(5, "");  // a later code without details leaves the first one's
    EXPECT_EQ(transaction.finished(row.exit), row.outcome) << row.details << row.exit;
  }
}

}  // namespace
}  // namespace quorvel
