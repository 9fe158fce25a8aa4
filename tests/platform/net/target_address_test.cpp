// The fetcher's address rule on address values only: no test here opens a connection.
#include "platform/net/target_address.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace folirex {
namespace {

bool Refused(const std::string& text, const std::string& allowed = "",
             const std::vector<std::string>& own = {}) {
  std::optional<IpAddress> address = ParseIpAddress(text);
  EXPECT_TRUE(address.has_value()) << text;
  NetworkList list;
  EXPECT_TRUE(list.Parse(allowed, nullptr)) << allowed;
  std::vector<IpAddress> own_addresses;
  for (const std::string& o : own) own_addresses.push_back(*ParseIpAddress(o));
  return address && IsRefusedTarget(*address, list, own_addresses);
}

TEST(TargetAddress, EveryNonPublicRangeIsRefusedAtItsEdges) {
  for (const char* text : {"0.0.0.0",
                           "0.255.255.255",
                           "10.0.0.0",
                           "10.255.255.255",
                           "100.64.0.0",
                           "100.127.255.255",
                           "127.0.0.1",
                           "127.255.255.254",
                           "169.254.169.254",
                           "172.16.0.1",
                           "172.31.255.255",
                           "192.0.0.8",
                           "192.0.2.1",
                           "192.88.99.1",
                           "192.168.0.1",
                           "192.168.255.255",
                           "198.18.0.1",
                           "198.19.255.255",
                           "198.51.100.7",
                           "203.0.113.9",
                           "224.0.0.1",
                           "239.255.255.250",
                           "240.0.0.1",
                           "255.255.255.255",
                           "::",
                           "::1",
                           "64:ff9b:1::1",
                           "100::1",
                           "2001::1",
                           "2001:db8::1",
                           "3fff::1",
                           "5f00::1",
                           "fc00::1",
                           "fd12:3456::1",
                           "fe80::1",
                           "febf::1",
                           "fec0::1",
                           "ff02::1"}) {
    EXPECT_TRUE(Refused(text)) << text;
  }
  // Just outside each IPv4 block, and public IPv6 addresses.
  for (const char* text :
       {"1.0.0.1",         "9.255.255.255",   "11.0.0.0",        "100.63.255.255", "100.128.0.0",
        "126.255.255.255", "128.0.0.0",       "169.253.255.255", "172.15.255.255", "172.32.0.0",
        "192.0.1.0",       "192.88.98.255",   "192.167.255.255", "198.17.255.255", "198.20.0.0",
        "203.0.112.255",   "223.255.255.255", "8.8.8.8",         "2606:4700::1",   "2a00:1450::1",
        "2001:200::1"}) {
    EXPECT_FALSE(Refused(text)) << text;
  }
}

TEST(TargetAddress, IPv6FormsCarryingAnIPv4AddressAreJudgedByIt) {
  for (const char* text :
       {"::ffff:10.0.0.1", "::ffff:127.0.0.1", "::ffff:169.254.169.254", "::ffff:192.168.1.1",
        "::ffff:0:127.0.0.1", "[::ffff:0:127.0.0.1]", "::ffff:0:10.1.2.3", "::ffff:0:7f00:1",
        "::10.0.0.1", "::127.0.0.1", "64:ff9b::10.1.2.3", "2002:c0a8:101::1",
        "2002:7f00:1::", "[::ffff:172.16.0.1]", "[fd00::1]", "[::1]"}) {
    EXPECT_TRUE(Refused(text)) << text;
  }
  for (const char* text :
       {"::ffff:8.8.8.8", "::ffff:0:8.8.8.8", "64:ff9b::8.8.4.4", "2002:808:808::1", "[2606::1]"}) {
    EXPECT_FALSE(Refused(text)) << text;
  }
}

TEST(TargetAddress, OpenNetworksAndOwnAddresses) {
  EXPECT_FALSE(Refused("127.0.0.1", "127.0.0.1"));
  EXPECT_FALSE(Refused("::ffff:127.0.0.1", "127.0.0.1"));
  EXPECT_FALSE(Refused("::ffff:0:127.0.0.1", "127.0.0.1"));
  EXPECT_FALSE(Refused("::ffff:0:10.20.30.40", "10.0.0.0/8"));
  EXPECT_TRUE(Refused("::ffff:0:10.20.30.40", "127.0.0.1"));
  EXPECT_TRUE(Refused("127.0.0.2", "127.0.0.1"));
  EXPECT_FALSE(Refused("10.20.30.40", "10.0.0.0/8, 192.168.1.0/24"));
  EXPECT_FALSE(Refused("192.168.1.200", "10.0.0.0/8 192.168.1.0/24"));
  EXPECT_TRUE(Refused("192.168.2.1", "10.0.0.0/8,192.168.1.0/24"));
  EXPECT_FALSE(Refused("fd12::7", "fd00::/8"));
  EXPECT_FALSE(Refused("::1", "[::1]"));
  EXPECT_TRUE(Refused("fe80::1", "fd00::/8"));

  // An address of this machine is refused however public it looks, unless opened.
  EXPECT_TRUE(Refused("8.8.8.8", "", {"8.8.8.8"}));
  EXPECT_TRUE(Refused("::ffff:8.8.8.8", "", {"8.8.8.8"}));
  EXPECT_TRUE(Refused("::ffff:0:8.8.8.8", "", {"8.8.8.8"}));
  EXPECT_FALSE(Refused("8.8.8.8", "8.8.8.0/24", {"8.8.8.8"}));
  EXPECT_FALSE(Refused("8.8.4.4", "", {"8.8.8.8"}));
  std::vector<IpAddress> own = OwnInterfaceAddresses();
  ASSERT_FALSE(own.empty());  // loopback at least
  for (const IpAddress& mine : own) EXPECT_TRUE(IsRefusedTarget(mine, NetworkList(), own));
}

TEST(TargetAddress, NetworkListsAcceptAddressesAndBlocksOnly) {
  NetworkList list;
  ASSERT_TRUE(list.Parse("127.0.0.1", nullptr));
  std::string bad;
  for (const char* text : {"localhost", "10.0.0.0/33", "fd00::/129", "10.0.0.0/", "10.0.0.0/8x",
                           "10.1", "2130706433", "10.0.0.0/-1", "1.2.3.4:80"}) {
    EXPECT_FALSE(list.Parse(std::string("192.168.0.0/16, ") + text, &bad)) << text;
    EXPECT_EQ(bad, text);
  }
  // A refused list leaves the one before it.
  EXPECT_TRUE(list.Contains(*ParseIpAddress("127.0.0.1")));
  EXPECT_FALSE(list.Contains(*ParseIpAddress("192.168.0.1")));
  ASSERT_TRUE(list.Parse(" , ", nullptr));
  EXPECT_TRUE(list.empty());
  ASSERT_TRUE(list.Parse("0.0.0.0/0", nullptr));
  EXPECT_TRUE(list.Contains(*ParseIpAddress("10.0.0.1")));
  EXPECT_FALSE(list.Contains(*ParseIpAddress("fd00::1")));
}

}  // namespace
}  // namespace folirex
