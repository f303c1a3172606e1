#pragma once

// Whether this program is built under AddressSanitizer or ThreadSanitizer, which make the work
// around a wait several times slower: a bound on elapsed time that is about a wait says less there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MOCAP_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define MOCAP_TEST_SANITIZED 1
#endif
#endif
#ifndef MOCAP_TEST_SANITIZED
#define MOCAP_TEST_SANITIZED 0
#endif

namespace support {

constexpr bool kSanitized = MOCAP_TEST_SANITIZED != 0;

}  // namespace support
