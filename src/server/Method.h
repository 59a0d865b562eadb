#pragma once

#include <QMetaType>

// Request method of a REST call.
enum Method {
    GET = 0,
    POST = 1,
    PUT = 2
};

Q_DECLARE_METATYPE(Method)
