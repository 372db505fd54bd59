#include "platform/DisplayProbe.h"

#include <dlfcn.h>

namespace {

// The three calls of the X protocol library that a connection test needs,
// looked up at run time: the program needs no X headers to build, and the
// library is there whenever the toolkit's X support is.
struct XcbCalls {
    void *(*connect)(const char *display, int *screen) = nullptr;
    int (*hasError)(void *connection) = nullptr;
    void (*disconnect)(void *connection) = nullptr;
};

bool load(void *library, XcbCalls &calls)
{
    calls.connect = reinterpret_cast<decltype(calls.connect)>(dlsym(library, "xcb_connect"));
    calls.hasError = reinterpret_cast<decltype(calls.hasError)>(dlsym(library, "xcb_connection_has_error"));
    calls.disconnect = reinterpret_cast<decltype(calls.disconnect)>(dlsym(library, "xcb_disconnect"));
    return calls.connect && calls.hasError && calls.disconnect;
}

}  // namespace

bool XDisplayReachable()
{
    void *library = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return false;
    XcbCalls calls;
    bool reachable = false;
    if (load(library, calls)) {
        // xcb_connect never returns null; a failed connection is an error object.
        void *connection = calls.connect(nullptr, nullptr);
        reachable = calls.hasError(connection) == 0;
        calls.disconnect(connection);
    }
    dlclose(library);
    return reachable;
}
