// The headers the plug-in carries into the host bring no socket, zlib or protobuf declarations.
#include <gtest/gtest.h>

#include "stream/Socket.h"
#include "stream/SocketClient.h"
#include "stream/protocolBufferProcess.h"

namespace {

TEST(LightHeader, PublicHeadersIncludeNoProtobufZlibOrWinsock) {
#ifdef GOOGLE_PROTOBUF_VERSION
  ADD_FAILURE() << "protobuf included";
#endif
#ifdef ZLIB_VERSION
  ADD_FAILURE() << "zlib included";
#endif
#if defined(_WINSOCK2API_) || defined(INVALID_SOCKET)
  ADD_FAILURE() << "winsock included";
#endif
  SUCCEED();
}

}  // namespace
