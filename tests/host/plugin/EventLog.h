#pragma once

#include <string>

#ifdef _WIN32
#define HOST_TEST_EXPORT __declspec(dllexport)
#else
#define HOST_TEST_EXPORT __attribute__((visibility("default")))
#endif

// What the test plug-in's classes did, in order, for the host tests to read. Thread-safe.
namespace testplugin {

void record(const std::string& event);
// Block the calling thread until hostTestReleaseStuck / hostTestOpenGate is called.
void waitForRelease();
void waitForGate();
// Closes both again. A plug-in left mapped by a stuck device thread keeps its statics across
// loads, so each load starts from closed gates.
void closeGates();

}  // namespace testplugin

// Reached by the tests through support::LoadedLibrary.
extern "C" {
// The events so far, one per line; valid until the next call.
HOST_TEST_EXPORT const char* hostTestEvents();
HOST_TEST_EXPORT void hostTestClearEvents();
// 1 once the log holds at least count lines equal to event, 0 after timeoutMs without.
HOST_TEST_EXPORT int hostTestWaitForEvent(const char* event, int count, int timeoutMs);
HOST_TEST_EXPORT void hostTestReleaseStuck();
HOST_TEST_EXPORT void hostTestOpenGate();
}
