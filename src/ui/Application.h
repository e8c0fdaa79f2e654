#pragma once

class QApplication;

namespace kestrun {

// Names the program and puts Qt's own texts in the user's language. Sets no display name: the
// platform would append it to every window caption.
void SetUpApplication(QApplication& app);

} // namespace kestrun
