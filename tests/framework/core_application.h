#pragma once

namespace vemra::test {
// Makes the process's QCoreApplication once; event loops need it.
void ensureCoreApplication();
} // namespace vemra::test
