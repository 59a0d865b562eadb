#include "UnhandledCatcher.h"

#include <QDebug>

#include <cstdlib>
#include <exception>

namespace {

std::terminate_handler previousHandler = nullptr;

[[noreturn]] void unhandledCatcher()
{
    std::set_terminate(previousHandler);
    qCritical() << "Unhandled exception, terminate handler called";
    const std::exception_ptr inFlight = std::current_exception();
    if (!inFlight) {
        // Not an exception: leave it to the handler that was there before.
        if (previousHandler)
            previousHandler();
        std::abort();
    }
    try {
        std::rethrow_exception(inFlight);
    } catch (const std::exception& e) {
        qCritical() << "Exception: " << e.what();
    } catch (...) {
        qCritical() << "Unknown exception";
    }
    std::exit(-1);
}

} // namespace

void set_unhandled_catcher()
{
    previousHandler = std::set_terminate(unhandledCatcher);
}
