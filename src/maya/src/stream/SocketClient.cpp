#include "stream/SocketClient.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

SocketClient::SocketClient(const std::string& host, std::uint16_t port) {
  // Called on the host's main thread only, so the static host entry is not shared.
  const hostent* entry = ::gethostbyname(host.c_str());
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list[0] == nullptr) {
    throw std::string(std::strerror(errno));
  }
  sockaddr_in address;
  std::memset(&address, 0, sizeof(address));
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  std::memcpy(&address.sin_addr, entry->h_addr_list[0], sizeof(address.sin_addr));
  connected = ::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}
