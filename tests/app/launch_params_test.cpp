#include "app/launch_params.h"

#include <gtest/gtest.h>


namespace {
using app::Arguments;
using app::LaunchParams;

Arguments Twelve() {
  return {"App", "user", "user2", "code", "20240102", "e1", "e2", "e3", "e4", "http://h:81/", "81", "C:\\c.exe"};
}

TEST(StartForms, RegistrationAndRegFirst) {
  struct Case {
    Arguments args;
    bool registration;
    bool regFirst;
  };
  Arguments twelveReg = Twelve();
  twelveReg[0] = "REG";
  const Case cases[] = {
      {{}, false, false},
      {{"REG"}, true, true},
      {{"REG", "x"}, true, true},
      {{"reg"}, false, false},
      {{" REG"}, false, false},
      {{"ZEPRA:?REG"}, false, false},
      {twelveReg, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args[0] + " x" + std::to_string(c.args.size()));
    EXPECT_EQ(app::IsRegistrationStart(c.args), c.registration);
    EXPECT_EQ(app::StartsWithReg(c.args), c.regFirst);
  }
}

TEST(ReadParamsPositional, TwelveFieldsInOrderTrimmed) {
  Arguments args = {" App ", "\tuser", "user2\r\n", "code", "20240102", " ", "e2", "e3", "e4 ",
                    "http://h:81/", "81", "  C:\\Program Files\\c.exe  "};
  LaunchParams p;
  app::ReadParams(args, "19990101", p);
  const LaunchParams expected{"App", "user", "user2", "code", "20240102", "", "e2",
                            "e3",  "e4",   "http://h:81/", "81", "C:\\Program Files\\c.exe"};
  EXPECT_EQ(p, expected);
}

TEST(ReadParamsPositional, ThirteenthIgnoredAndRegIsJustAName) {
  Arguments args = Twelve();
  args[0] = "REG";
  args.push_back("extra");
  LaunchParams p;
  app::ReadParams(args, "19990101", p);
  EXPECT_EQ(p.appName, "REG");
  EXPECT_EQ(p.clientExe, "C:\\c.exe");
  EXPECT_EQ(p.workDate, "20240102");  // taken as given, not today's date
}

TEST(ReadParamsPositional, LooksUpNoPort) {
  LaunchParams p;
  EXPECT_EQ(app::ReadParams(Twelve(), "19990101", p), std::nullopt);
}

struct KeyCase {
  const char* url;
  const char* key;
  const char* value;
};

TEST(UrlKeyValue, LookupRules) {
  const KeyCase cases[] = {
      {"ZEPRA:?UID=abc&url=http://h/", "UID", "abc"},
      {"ZEPRA:?UID=abc&url=http://h/", "url", "http://h/"},
      {"ZEPRA:?url=http://h/&UID=abc", "UID", "abc"},          // any order
      {"ZEPRA:?uid=abc&URL=http://h/", "UID", "abc"},          // name case ignored
      {"ZEPRA:?uid=abc&URL=http://h/", "url", "http://h/"},
      {"ZEPRA:?url=http://h/a?b=1&c=2", "url", "http://h/a"},  // "?" and "&" cut the value
      {"ZEPRA:?url=http://h/a?b=1&c=2", "b", "1"},
      {"ZEPRA:?UID=YQ==", "UID", "YQ=="},                       // later "=" belong to the value
      {"ZEPRA:?UID=1&UID=2", "UID", "1"},                       // first match wins
      {"ZEPRA:?UID=", "UID", ""},
      {"ZEPRA:?x=1", "UID", ""},                                // missing key
      {"ZEPRA:", "url", ""},
      {"not a url", "url", ""},
      {"ZEPRA:?url=a%20b", "url", "a%20b"},                     // no unescaping
      {"ZEPRA:?url= spaced ", "url", " spaced "},               // not trimmed
      {"ZEPRA:?a=1\rurl=2", "url", "2"},                        // line breaks split too
      {"ZEPRA:?UIDX=1&UID=2", "UID", "2"},                      // whole names only
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(std::string(c.url) + " / " + c.key);
    EXPECT_EQ(app::UrlKeyValue(c.url, c.key), c.value);
  }
}

TEST(UserIdOfUid, TwentyCharactersFromTheFourth) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"abc", ""},
      {"abcd", "d"},
      {"abcdefgh", "defgh"},
      {"xyz12345678901234567890", "12345678901234567890"},
      {"xyz12345678901234567890TAIL", "12345678901234567890"},
  };
  for (const auto& [decoded, id] : cases) {
    SCOPED_TRACE(decoded);
    EXPECT_EQ(app::UserIdOfUid(decoded), id);
  }
}

TEST(WorkDate, EightDigits) {
  EXPECT_EQ(app::FormatWorkDate(2024, 1, 2), "20240102");
  EXPECT_EQ(app::FormatWorkDate(1999, 12, 31), "19991231");
  const std::string today = app::TodayWorkDate();
  ASSERT_EQ(today.size(), 8u);
  EXPECT_EQ(today.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_GE(today, "20240101");
}

// Base64 of a text, for building UIDs in the tests below.
std::string Encode(const std::string& raw) {
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < raw.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(raw[i]) << 16) | (static_cast<unsigned char>(raw[i + 1]) << 8) |
                 static_cast<unsigned char>(raw[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out += alphabet[(v >> s) & 63];
  }
  if (raw.size() - i == 1) {
    unsigned v = static_cast<unsigned char>(raw[i]) << 16;
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += "==";
  } else if (raw.size() - i == 2) {
    unsigned v = (static_cast<unsigned char>(raw[i]) << 16) | (static_cast<unsigned char>(raw[i + 1]) << 8);
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += alphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

TEST(ReadParamsUrl, FieldsFromKeysAndFixedValues) {
  const std::string uid = Encode("ts=U0012345678901234567890");
  for (const std::string& url : {"ZEPRA:?UID=" + uid + "&url=http://srv:8080/upd/",
                                "ZEPRA:?url=http://srv:8080/upd/&uid=" + uid}) {
    SCOPED_TRACE(url);
    LaunchParams p;
    app::ReadParams({url}, "20240607", p);
    const LaunchParams expected{"ZEPRA", "U0012345678901234567", "U0012345678901234567", "ZEPRA", "20240607",
                              " ",     " ",                   " ",                   " ",     "http://srv:8080/upd/",
                              "8080",  ""};
    EXPECT_EQ(p, expected);
  }
}

TEST(ReadParamsUrl, OnlyTheFirstOfSeveralArgumentsCounts) {
  LaunchParams p;
  app::ReadParams({"ZEPRA:?url=http://a:1/", "url=http://b:2/", "x"}, "20240607", p);
  EXPECT_EQ(p.serverUrl, "http://a:1/");
  EXPECT_EQ(p.serverPort, "1");
}

TEST(ReadParamsUrl, AUrlFirstIsTheUrlFormHoweverManyArguments) {
  // Raw quotes in a page's link can split its URL into twelve arguments or
  // more; the last of them must never become the client program.
  for (const char* first : {"ZEPRA:?url=http://a:1/", "zepra:?url=http://a:1/", "Zepra:"}) {
    SCOPED_TRACE(first);
    Arguments args = Twelve();
    args[0] = first;
    args.push_back("C:\\evil.exe");
    EXPECT_TRUE(app::IsUrlForm(args));
    LaunchParams p;
    app::ReadParams(args, "20240607", p);
    EXPECT_EQ(p.appName, "ZEPRA");
    EXPECT_EQ(p.clientExe, "");
  }
  for (const char* first : {"ZEPRA", "ZEPRA;x", " ZEPRA:x", "App"}) {
    Arguments args = Twelve();
    args[0] = first;
    EXPECT_FALSE(app::IsUrlForm(args)) << first;
  }
}

TEST(ReadParamsUrl, QuotesControlsAndTrailingBackslashesAreDropped) {
  LaunchParams p;
  app::ReadParams({"ZEPRA:?UID=" + Encode("ts=a\"b\x01" "c\\\"") + "&url=http://h:1/\"x\t\\"}, "20240607", p);
  EXPECT_EQ(p.userId, "abc");
  EXPECT_EQ(p.userId2, "abc");
  EXPECT_EQ(p.serverUrl, "http://h:1/x");
  EXPECT_EQ(p.serverPort, "1");
}

// What is kept of a web page's value: it must show what it is and cannot
// end the client's quoted argument early.
TEST(OutsideValue, DropsQuotesControlsBidiFormattingAndTrailingBackslashes) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"plain 值", "plain 值"},
      {"a\"b", "ab"},
      {"a\x01\x1f\x7f\tb\r\n", "ab"},
      {"C:\\dir\\", "C:\\dir"},
      {"x\\\\\"\\", "x"},                                     // quotes go first, then the backslashes
      {"a\\b", "a\\b"},                                           // inner backslash kept
      {"\xE2\x80\x8E\xE2\x80\x8F" "abc", "abc"},               // U+200E, U+200F
      {"x\xE2\x80\xAA\xE2\x80\xAE" "y", "xy"},                 // U+202A, U+202E
      {"\xE2\x81\xA6" "evil\xE2\x81\xA9", "evil"},            // U+2066, U+2069
      {"\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA",  // neighbours of the ranges stay
       "\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA"},
      {"\xE2\x80\xE2\x80\x8E\x8E" "a", "a"},                  // one removed cannot join another
      {"\xE2\x80\"\x8E" "a", "a"},                                // nor can a quote removed
      {"\xE2\x80\x8E\\", ""},
  };
  for (const auto& [in, out] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(app::OutsideValue(in), out);
  }
}

// A web page's server address the engine will refuse gives the client no
// port; the address itself is kept for the engine to name in its refusal.
TEST(ReadParamsUrl, PortOnlyOfAClearAddress) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://srv:8080/upd/", "8080"},
      {"HTTP://srv:1/", "1"},
      {"http://srv/upd/", ""},
      {"srv", ""},
      {"http://erp.corp:80@evil.example/", ""},
      {"http://srv:80%40x/", ""},
      {"http://srv:0/", ""},
      {"http://srv:65536/", ""},
      {"http://srv:http/", ""},
  };
  for (const auto& [address, port] : cases) {
    SCOPED_TRACE(address);
    LaunchParams p;
    app::ReadParams({std::string("ZEPRA:?url=") + address}, "20240607", p);
    EXPECT_EQ(p.serverUrl, address);
    EXPECT_EQ(p.serverPort, port);
  }
  LaunchParams p;
  app::ReadParams({"ZEPRA:?url=http://srv\xE2\x80\xAE:81/"}, "20240607", p);
  EXPECT_EQ(p.serverUrl, "http://srv:81/");
  EXPECT_EQ(p.serverPort, "81");
}

TEST(ReadParamsUrl, MissingKeysGiveEmptyFields) {
  LaunchParams p;
  p.clientExe = "left over";
  app::ReadParams({"REG"}, "20240607", p);
  EXPECT_EQ(p.appName, "ZEPRA");
  EXPECT_EQ(p.userId, "");
  EXPECT_EQ(p.userId2, "");
  EXPECT_EQ(p.serverUrl, "");
  EXPECT_EQ(p.serverPort, "");
  EXPECT_EQ(p.clientExe, "");
}

TEST(ReadParamsUrl, ReturnsThePortLookup) {
  LaunchParams p;
  EXPECT_EQ(app::ReadParams({"ZEPRA:?url=http://127.0.0.1:8123/upd/"}, "20240607", p),
            (app::PortLookup{"http://127.0.0.1:8123/upd/", "8123"}));
  // An address the engine refuses is looked up all the same; only the
  // client program gets no port of it.
  EXPECT_EQ(app::ReadParams({"ZEPRA:?url=http://a@b:81/"}, "20240607", p), (app::PortLookup{"http://a@b:81/", "81"}));
  EXPECT_EQ(p.serverPort, "");
}

}  // namespace
