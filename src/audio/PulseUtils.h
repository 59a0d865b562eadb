#pragma once

// libpulse helpers; include only from .cpp files.

#include <pulse/pulseaudio.h>

#include <functional>

void init_state_callback(pa_context* context, void* mainloop);

namespace pa_utils {

// Receives the records of one info request; eol is 0 with a record, then 1 at the
// end of the list, negative on failure.
template<typename T>
struct InfoRequest
{
    pa_threaded_mainloop* mainloop = nullptr;
    bool success = true;
    std::function<void(T info)> onInfo;

    void operator()(pa_context*, T info, int eol)
    {
        if (eol != 0) {
            if (eol < 0)
                success = false;
            pa_threaded_mainloop_signal(mainloop, 0);
            return;
        }
        if (info && onInfo)
            onInfo(info);
    }
};

template<typename T>
void generic_callback_f(pa_context* context, T info, int eol, void* userdata)
{
    (*static_cast<InfoRequest<T>*>(userdata))(context, info, eol);
}

void signal_operation_state(pa_operation* operation, void* mainloop);

// Runs one request under the main-loop lock and waits for it to end; the wait also
// ends when the context fails or is released meanwhile. start issues the request
// with generic_callback_f<T> and the given request as user data.
template<typename T>
bool SyncPulseRequest(pa_threaded_mainloop* mainloop, pa_context* const& context, InfoRequest<T>& request,
    const std::function<pa_operation*(pa_context*, void* userdata)>& start)
{
    if (!mainloop)
        return false;
    request.mainloop = mainloop;
    pa_threaded_mainloop_lock(mainloop);
    pa_context* held = context;
    if (!held || pa_context_get_state(held) != PA_CONTEXT_READY) {
        pa_threaded_mainloop_unlock(mainloop);
        return false;
    }
    // Keeps the context alive while the lock is released in the waits below.
    pa_context_ref(held);
    pa_operation* operation = start(held, &request);
    if (operation) {
        pa_operation_set_state_callback(operation, signal_operation_state, mainloop);
        while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING
            && PA_CONTEXT_IS_GOOD(pa_context_get_state(held)))
            pa_threaded_mainloop_wait(mainloop);
        if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
            pa_operation_cancel(operation); // the request object must not be called after this
        if (pa_operation_get_state(operation) != PA_OPERATION_DONE)
            request.success = false;
        pa_operation_set_state_callback(operation, nullptr, nullptr);
        pa_operation_unref(operation);
    } else {
        request.success = false;
    }
    pa_context_unref(held);
    pa_threaded_mainloop_unlock(mainloop);
    return request.success;
}

} // namespace pa_utils
