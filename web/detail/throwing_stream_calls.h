// Beast's synchronous streams offer read_some and write_some in two forms: one that reports
// failure through an error_code and one that throws it. A stream that defines the error_code
// forms derives from ThrowingStreamCalls<itself> for the throwing ones, and names them with
// `using ThrowingStreamCalls<...>::read_some;` (and write_some) so that its own forms do not hide
// them.
#pragma once

#include <boost/system/error_code.hpp>
#include <boost/system/system_error.hpp>
#include <cstddef>

namespace kx::web::detail {

template <class Stream>
class ThrowingStreamCalls {
 public:
  template <class MutableBuffers>
  size_t read_some(const MutableBuffers& buffers) {
    boost::system::error_code ec;
    const size_t got = Self().read_some(buffers, ec);
    if (ec) throw boost::system::system_error(ec);
    return got;
  }

  template <class ConstBuffers>
  size_t write_some(const ConstBuffers& buffers) {
    boost::system::error_code ec;
    const size_t sent = Self().write_some(buffers, ec);
    if (ec) throw boost::system::system_error(ec);
    return sent;
  }

 private:
  Stream& Self() { return static_cast<Stream&>(*this); }
};

}  // namespace kx::web::detail
