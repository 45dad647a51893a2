// libFuzzer target for the service's whole request path: the input is what a client sends on one
// connection (one request or several pipelined ones); it runs through the request loop, the
// router and the real handlers of a service in a temporary folder, and the replies come back as
// bytes. No sockets, no threads: the stream lives in memory and ends where the input ends.
//
// Two conventions let inputs reach the whole service:
//   - "{admin}", "{moder}" and "{user}" stand for the session ids of the three accounts, signed
//     in through the same path just before the input runs;
//   - an input that holds "UseKX=1" runs with the dispatcher stand-in as the data source, any
//     other with the dispatcher's last-position files.
// Every input starts from the same service: the state is rebuilt from the original files.
//
// Properties: every reply starts with "HTTP/1.1 " ("HTTP/1.0 " for a request of that version or
// lower) and has a Content-Length equal to the length of its body (the body of a HEAD reply is
// left out); each request read gets one reply, and a request that cannot be read at most one
// more; no reply holds the service folder's path (archives aside: they name the KML inside them by
// its path); Users.ini stays a well-formed INI file the service can load; Settings.ini is never
// written; nothing but the map files is left in the service folder.
#include <boost/asio/buffer.hpp>
#include <boost/asio/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/ini_file.h"
#include "dispatcher/link_settings.h"
#include "registry/service_state.h"
#include "registry/user_accounts.h"
#include "service/settings.h"
#include "tests/fuzz/fuzz_check.h"
#include "web/detail/request_loop.h"
#include "web/detail/throwing_stream_calls.h"
#include "web/router.h"

namespace {

namespace fs = std::filesystem;
namespace http = boost::beast::http;
using boost::system::error_code;

// The client's side of the connection in memory: reads give the client's bytes and then the end
// of the stream, so that no read ever waits; writes collect the replies.
class MemoryStream : public kx::web::detail::ThrowingStreamCalls<MemoryStream> {
 public:
  using ThrowingStreamCalls::read_some;
  using ThrowingStreamCalls::write_some;

  explicit MemoryStream(std::string_view received) : received_(received) {}

  void SetReadDeadline(kx::web::detail::Clock::time_point) {}
  [[nodiscard]] error_code WaitReadable(kx::web::detail::Clock::time_point) const { return {}; }
  [[nodiscard]] error_code ShutdownSend() {
    sendingEnded_ = true;
    return {};
  }

  template <class MutableBuffers>
  size_t read_some(const MutableBuffers& buffers, error_code& ec) {
    ec = {};
    if (received_.empty()) {
      ec = boost::asio::error::eof;
      return 0;
    }
    const size_t got =
        boost::asio::buffer_copy(buffers, boost::asio::buffer(received_.data(), received_.size()));
    received_.remove_prefix(got);
    return got;
  }

  template <class ConstBuffers>
  size_t write_some(const ConstBuffers& buffers, error_code& ec) {
    ec = {};
    if (sendingEnded_) std::abort();  // nothing may be sent once sending has ended
    const size_t size = boost::asio::buffer_size(buffers);
    const size_t start = sent_.size();
    sent_.resize(start + size);
    boost::asio::buffer_copy(boost::asio::buffer(sent_.data() + start, size), buffers);
    return size;
  }

  [[nodiscard]] const std::string& Sent() const { return sent_; }

 private:
  std::string_view received_;
  std::string sent_;
  bool sendingEnded_ = false;
};

constexpr char kClientAddress[] = "127.0.0.1";
constexpr char kDispatcherMarker[] = "UseKX=1";

struct Account {
  const char* login;
  const char* password;
  const char* placeholder;  // stands for the account's session id in the inputs
};
constexpr Account kSignedIn[] = {
    {"admin", "a", "{admin}"}, {"moder", "m", "{moder}"}, {"user", "u", "{user}"}};

std::string UsersIni() {
  using kx::PasswordDigest;
  const std::string lines[] = {"[main]",
                               "UsersCount=4",
                               "User0=admin",
                               "User1=moder",
                               "User2=user",
                               "User3=guest",
                               "[admin]",
                               "login=admin",
                               "pass=" + PasswordDigest("admin", "a"),
                               "r=2",
                               "devcount=0",
                               "[moder]",
                               "login=moder",
                               "pass=" + PasswordDigest("moder", "m"),
                               "r=1",
                               "devcount=1",
                               "dev0=77",
                               "UsersCount=1",
                               "User0=user",
                               "[user]",
                               "login=user",
                               "pass=" + PasswordDigest("user", "u"),
                               "r=0",
                               "devcount=4",
                               "dev0=1234",
                               "dev1=77",
                               "dev2=12345678",
                               "dev3=4321",
                               "GoogleZoom=12",
                               "GoogleType=2",
                               "Icons=4098",
                               "[guest]",
                               "login=guest",
                               "pass=" + PasswordDigest("guest", ""),
                               "r=0",
                               "devcount=2",
                               "dev0=4321",
                               "dev1=1234"};
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// windows-1251: "УАЗ", "Газель", "А123ВС", "Север", "КамАЗ", "Юг".
constexpr char kDeviceList[] =
    "[main]\r\ndevCount=4\r\n"
    "[dev0]\r\ndevnum=4321\r\ncarmodel=\xD3\xC0\xC7\r\ngroupname=\xD1\xE5\xE2\xE5\xF0\r\n"
    "groupfile=north.grp\r\n"
    "[dev1]\r\ndevnum=1234\r\ncarmodel=\xC3\xE0\xE7\xE5\xEB\xFC\r\ncarnumber="
    "\xC0\x31\x32\x33\xC2\xD1"
    "\r\ngroupname=\xD1\xE5\xE2\xE5\xF0\r\ngroupfile=north.grp\r\n"
    "[dev2]\r\ndevnum=77\r\ncarmodel=Fiat\r\ngroupname=\xD1\xE5\xE2\xE5\xF0\r\n"
    "groupfile=north.grp\r\n"
    "[dev3]\r\ndevnum=12345678\r\ncarmodel=\xCA\xE0\xEC\xC0\xC7\r\ngroupname=\xDE\xE3\r\n"
    "groupfile=south.grp\r\n";

constexpr char kFleetIni[] =
    "[main]\r\nGroupsNum=2\r\n"
    "[group1]\r\nGroupName=North\r\nGroupFileName=north.grp\r\nCarsNum=3\r\n"
    "[group1.car1]\r\nCarDevice=1234\r\nCarModel=Gazel\r\nCarNumber=A123BC\r\n"
    "Latitude=55.75\r\nLongitude=37.61\r\nTime=2010-03-05 23:30:00\r\n"
    "[group1.car2]\r\nCarDevice=77\r\nCarModel=Fiat\r\n"
    "[group1.car3]\r\nCarDevice=4321\r\nCarModel=UAZ\r\nLatitude=-776.9\r\nLongitude=37.5\r\n"
    "Time=2010-03-05 10:00:00\r\n"
    "[group2]\r\nGroupName=South\r\nGroupFileName=south.grp\r\nCarsNum=1\r\n"
    "[group2.car1]\r\nCarDevice=12345678\r\nCarModel=Kamaz\r\nLatitude=55.8\r\nLongitude=49.1\r\n"
    "Time=2010-03-05 07:05:00\r\n";

constexpr char kTrack[] =
    "2010-03-05 06:00:00;55.70;37.50;0;2\n2010-03-05 06:10:00;55.71;37.51;50;16\n"
    "2010-03-05 06:20:00;55.72;37.52;0;2\n";

// A dispatcher's last-position file, with the time stamp its description starts with.
std::string LastPositionKml(std::string_view description) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n  <Placemark>\n"
         "    <name>a</name>\n    <description>" +
         std::string(description) +
         "</description>\n"
         "    <Point><coordinates>37.61,55.75,0</coordinates></Point>\n  </Placemark>\n</kml>\n";
}

// An archive the map may fetch; its bytes do not matter to the server.
constexpr char kArchiveName[] = "0123456789ABCDEF0123456789ABCDEF.kmz";

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::abort();
  }
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> NamesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

using kx::fuzz::Check;

// A service folder as an installation has it, made once per process and removed at its exit.
class ServiceFolder {
 public:
  ServiceFolder() {
    std::string name = (fs::temp_directory_path() / "kx-fuzz-XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr) std::abort();
    path_ = fs::canonical(name);
    for (const char* folder :
         {"kml", "js", "css", "img", "dispatcher/LastPosition", "automation/tracks"}) {
      fs::create_directories(path_ / folder);
    }
    WriteFile(path_ / "DeviceList.ini", kDeviceList);
    WriteFile(path_ / "js/map.js", "function Map() {}\n");
    WriteFile(path_ / "css/main.css", "body { margin: 0 }\n");
    WriteFile(path_ / "img/logo.png", "\x89PNG\r\n\x1a\n");
    WriteFile(path_ / "img/favicon.ico", std::string_view("\0\0\1\0", 4));
    WriteFile(path_ / "kml" / kArchiveName, "PK\x03\x04 not a real archive");
    WriteFile(path_ / "dispatcher/LastPosition/0001234.kml",
              LastPositionKml("2010-03-05 23:30:00 speed 40 km/h"));
    // A description without its time stamp: the request fails with the error reply.
    WriteFile(path_ / "dispatcher/LastPosition/000077.kml", LastPositionKml("no time"));
    WriteFile(path_ / "automation/fleet.ini", kFleetIni);
    WriteFile(path_ / "automation/tracks/1234.csv", kTrack);
    usersIni_ = UsersIni();
    WriteFile(File("Users.ini"), usersIni_);
    SelectSettings(false);
    folderNames_ = NamesIn(path_);
    kmlNames_ = NamesIn(path_ / "kml");
  }
  ~ServiceFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }

  [[nodiscard]] const fs::path& Path() const { return path_; }
  [[nodiscard]] fs::path File(std::string_view name) const { return path_ / name; }

  // Writes the Settings.ini of the data source (requests never change it).
  void SelectSettings(bool dispatcher) {
    std::string text = "[main]\r\nport=8080\r\nUseKX=" + std::string(dispatcher ? "1" : "0") +
                       "\r\nKXServerPath=" + (path_ / "dispatcher").string() + "/\r\n";
    if (text == settingsIni_) return;
    settingsIni_ = std::move(text);
    WriteFile(File("Settings.ini"), settingsIni_);
  }

  // Puts back what requests change: Users.ini (which now holds `users`) and the map files.
  void Restore(const std::string& users) {
    if (users != usersIni_) WriteFile(File("Users.ini"), usersIni_);
    for (const std::string& name : NamesIn(path_ / "kml")) {
      if (!kmlNames_.contains(name)) fs::remove(path_ / "kml" / name);
    }
  }

  [[nodiscard]] const std::string& SettingsIni() const { return settingsIni_; }
  [[nodiscard]] bool HoldsOnlyItsFiles() const { return NamesIn(path_) == folderNames_; }

 private:
  fs::path path_;
  std::string usersIni_;
  std::string settingsIni_;
  std::set<std::string> folderNames_;
  std::set<std::string> kmlNames_;
};

// The service's state loaded from the folder the way its start sequence loads it, with the
// request handler and the HTTP sessions the server would give it.
class Service {
 public:
  Service(const ServiceFolder& folder, const kx::web::detail::StopSignal& stop)
      : sessions_(kx::web::kSessionTimeout,
                  [this](const std::string& id) { kx::IdHTTPServer1SessionEnd(state_, id); }),
        handler_([this](kx::web::HttpExchange& exchange) {
          kx::IdHTTPServer1CommandGet(state_, exchange);
        }),
        context_{handler_,
                 sessions_,
                 stop,
                 kx::web::kRequestReadTimeout,
                 kx::web::kKeepAliveIdleTimeout,
                 kx::web::kWriteStallTimeout} {
    state_.folder = folder.Path();
    state_.settings = kx::ReadSettings(kx::IniFile::Load(folder.File("Settings.ini")));
    state_.signInGuard = kx::SignInGuard(state_.settings.MaxFailedSignIns, kx::kSignInBlockTime);
    sessions_.SetMaxSessions(static_cast<size_t>(state_.settings.MaxSessions));
    kx::ReloadUserAccounts(state_);
    kx::LoadVehicles(state_);
  }
  ~Service() { sessions_.EndAll(); }

  // The replies to what the client sends on one connection.
  [[nodiscard]] std::string Exchange(std::string_view clientBytes) {
    MemoryStream stream(clientBytes);
    kx::web::detail::RequestLoop<MemoryStream>(stream, context_, kClientAddress).Serve();
    return stream.Sent();
  }

  // Signs the account in and returns its session id.
  [[nodiscard]] std::string SignIn(const Account& account) {
    const std::string form =
        std::string("kx_login=") + account.login + "&password=" + account.password + "&Submit=OK";
    const std::string reply = Exchange(
        "POST /kxserver/main HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
        std::to_string(form.size()) + "\r\n\r\n" + form);
    constexpr std::string_view kCookie = "Set-Cookie: IDHTTPSESSIONID=";
    const size_t at = reply.find(kCookie);
    Check(at != std::string::npos, "the set-up accounts sign in");
    return reply.substr(at + kCookie.size(), kx::web::kSessionIdLength);
  }

 private:
  kx::ServiceState state_;
  kx::web::SessionStore sessions_;
  kx::web::RequestHandler handler_;
  kx::web::detail::ConnectionContext context_;
};

struct ReadRequest {
  bool head = false;
  unsigned version = 11;
};

// The requests the server reads from the bytes, as its request loop reads them.
struct ReadRequests {
  std::vector<ReadRequest> requests;
  bool failureAnswered = false;  // a request that could not be read got an error reply
};

ReadRequests RequestsIn(std::string_view clientBytes) {
  ReadRequests read;
  MemoryStream stream(clientBytes);
  boost::beast::flat_buffer buffer;
  for (;;) {
    http::request_parser<http::string_body> parser;
    parser.header_limit(kx::web::kMaxHeaderBytes);
    parser.body_limit(kx::web::kMaxBodyBytes);
    boost::system::error_code ec;
    http::read(stream, buffer, parser, ec);
    if (ec) {
      read.failureAnswered = kx::web::detail::ReadFailureStatus(ec) != 0;
      return read;
    }
    const auto& message = parser.get();
    read.requests.push_back({message.method() == http::verb::head, message.version()});
    if (!message.keep_alive()) return read;
  }
}

// The value of the reply head's one Content-Length header.
size_t ContentLength(std::string_view head) {
  constexpr std::string_view kField = "\r\nContent-Length: ";
  const size_t at = head.find(kField);
  Check(at != std::string_view::npos, "a reply has a Content-Length");
  Check(head.find(kField, at + 1) == std::string_view::npos, "a reply has one Content-Length");
  const size_t start = at + kField.size();
  const size_t end = head.find("\r\n", start);
  const std::string digits(head.substr(start, end - start));
  Check(!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos,
        "the Content-Length is a number");
  return std::stoul(digits);
}

void CheckReplies(std::string_view sent, const ReadRequests& read, const std::string& folder) {
  const size_t expected = read.requests.size() + (read.failureAnswered ? 1 : 0);
  for (size_t i = 0; i < expected; ++i) {
    const bool answersRequest = i < read.requests.size();
    const bool http10 = answersRequest && read.requests[i].version < 11;
    Check(sent.starts_with(http10 ? "HTTP/1.0 " : "HTTP/1.1 "), "a reply starts with its version");
    const size_t headEnd = sent.find("\r\n\r\n");
    Check(headEnd != std::string_view::npos, "a reply's head ends");
    const std::string_view head = sent.substr(0, headEnd + 2);
    const size_t length = ContentLength(head);
    const size_t bodyLength = answersRequest && read.requests[i].head ? 0 : length;
    Check(sent.size() - headEnd - 4 >= bodyLength, "a reply's body is as long as announced");
    const std::string_view reply = sent.substr(0, headEnd + 4 + bodyLength);
    const bool archive = reply.substr(headEnd + 4).starts_with("PK\x03\x04");
    Check(archive || reply.find(folder) == std::string_view::npos,
          "no reply shows the service folder");
    sent.remove_prefix(reply.size());
  }
  Check(sent.empty(), "nothing is sent but the replies");
}

// Every line a section header, a key with its value, or empty; every section named once.
void CheckWellFormedIni(std::string_view bytes) {
  std::set<std::string> sections;
  while (!bytes.empty()) {
    const size_t end = bytes.find("\r\n");
    Check(end != std::string_view::npos, "every line of an INI file ends with CR LF");
    const std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end + 2);
    Check(line.find_first_of("\r\n") == std::string_view::npos, "no line holds a line break");
    if (line.empty()) continue;
    if (line.front() == '[') {
      Check(line.back() == ']', "a section header ends with ]");
      std::string name(line.substr(1, line.size() - 2));
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      Check(sections.insert(name).second, "every section is named once");
    } else {
      Check(line.find('=') != std::string_view::npos, "a key line holds =");
    }
  }
}

// Returns what Users.ini holds.
std::string CheckStoredFiles(const ServiceFolder& folder) {
  std::string users = ReadFile(folder.File("Users.ini"));
  CheckWellFormedIni(users);
  kx::UserAccounts accounts;
  kx::MyUserParamsList params;
  kx::LoadUserAccounts(kx::IniFile::FromBytes(users), accounts, params);
  Check(ReadFile(folder.File("Settings.ini")) == folder.SettingsIni(),
        "Settings.ini is never written");
  Check(folder.HoldsOnlyItsFiles(), "nothing is left in the service folder");
  return users;
}

std::string WithSessions(std::string_view input, Service& service) {
  std::string bytes(input);
  for (const Account& account : kSignedIn) {
    const std::string_view placeholder = account.placeholder;
    size_t at = bytes.find(placeholder);
    if (at == std::string::npos) continue;
    const std::string id = service.SignIn(account);
    for (; at != std::string::npos; at = bytes.find(placeholder, at + id.size())) {
      bytes.replace(at, placeholder.size(), id);
    }
  }
  return bytes;
}

struct Process {
  Process() {
    setenv("KX_AUTOMATION_DATA", folder.File("automation").c_str(), 1);
    kx::ConfigureLinks({std::string(kx::kDefaultAutomationProgId), nullptr});
  }
  ServiceFolder folder;
  kx::web::detail::StopSignal stop;
};

Process& TheProcess() {
  static Process process;
  return process;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Process& process = TheProcess();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  ServiceFolder& folder = process.folder;
  folder.SelectSettings(input.find(kDispatcherMarker) != std::string_view::npos);
  {
    Service service(folder, process.stop);
    const std::string clientBytes = WithSessions(input, service);
    const std::string sent = service.Exchange(clientBytes);
    CheckReplies(sent, RequestsIn(clientBytes), folder.Path().string());
  }
  folder.Restore(CheckStoredFiles(folder));
  return 0;
}
