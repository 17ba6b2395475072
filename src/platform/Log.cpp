#include "platform/Log.h"

namespace Log {

void installDefaultRules()
{
    // Rules given in QT_LOGGING_RULES take precedence over these.
    QLoggingCategory::setFilterRules(QStringLiteral("com.tarvonic.zarnel.*.debug=false\n"
                                                    "com.tarvonic.zarnel.*.info=false"));
}

} // namespace Log
