// The base of the widget utility object; it has no state and no operation of its own.
#pragma once

namespace vl {

class CVLWidgetSecurity {};

} // namespace vl
