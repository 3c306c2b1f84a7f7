// Where the stream transport finds the simulator: the simserver setting.

#include "simlink/ipc_stream_transport.h"
#include "support/test_support.h"

namespace {

struct EndpointCase {
  const char* text;
  bool valid;
  const char* host;
  uint16_t port;
};

class Endpoints : public testing::TestWithParam<EndpointCase> {};

TEST_P(Endpoints, AreHostColonPort) {
  std::string host;
  uint16_t port = 0;
  EXPECT_EQ(ParseSimServer(GetParam().text, host, port), GetParam().valid);
  if (GetParam().valid) {
    EXPECT_EQ(host, GetParam().host);
    EXPECT_EQ(port, GetParam().port);
  }
}

void PrintTo(const EndpointCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

INSTANTIATE_TEST_SUITE_P(Table, Endpoints,
                         testing::Values(EndpointCase{"127.0.0.1:9300", true, "127.0.0.1", 9300},
                                         EndpointCase{"simhost:65535", true, "simhost", 65535},
                                         EndpointCase{"127.0.0.1", false, "", 0},
                                         EndpointCase{"host:65536", false, "", 0},
                                         EndpointCase{"host:0", false, "", 0},
                                         EndpointCase{"host:93x0", false, "", 0}));

}  // namespace
