// The body of a reply in the form Beast's serializer writes: a text held in memory, or a file
// read in chunks while it is sent, so that large files never sit in memory whole.
#pragma once

#include <algorithm>
#include <boost/asio/buffer.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/optional.hpp>
#include <boost/system/error_code.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "web/body_file.h"
#include "web/http_limits.h"

namespace kx::web::detail {

struct ReplyBody {
  struct value_type {
    std::string text;
    std::unique_ptr<BodyFile> file;  // when set, sent instead of the text

    [[nodiscard]] uint64_t Size() const { return file ? file->Size() : text.size(); }
  };

  class writer {
   public:
    using const_buffers_type = boost::asio::const_buffer;

    template <bool isRequest, class Fields>
    writer(const boost::beast::http::header<isRequest, Fields>&, const value_type& body)
        : body_(body) {}

    void init(boost::system::error_code& ec) {
      ec = {};
      remaining_ = body_.Size();
      if (body_.file)
        chunk_.resize(static_cast<size_t>(std::min<uint64_t>(remaining_, kFileChunkBytes)));
    }

    // The next piece of the body and whether more follows. A file is sent up to the size it had
    // when it was opened; a file that has become shorter fails the reply, as its length has
    // already been announced.
    boost::optional<std::pair<const_buffers_type, bool>> get(boost::system::error_code& ec) {
      ec = {};
      if (!body_.file) return Piece(boost::asio::buffer(body_.text), false);
      if (remaining_ == 0) return boost::none;
      try {
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(remaining_, chunk_.size()));
        const size_t got = body_.file->Read(chunk_.data(), wanted);
        if (got == 0) {
          ec = boost::system::errc::make_error_code(boost::system::errc::io_error);
          return boost::none;
        }
        remaining_ -= got;
        return Piece(boost::asio::buffer(chunk_.data(), got), remaining_ > 0);
      } catch (const std::system_error& e) {
        ec = boost::system::error_code(e.code().value(), boost::system::generic_category());
        return boost::none;
      }
    }

   private:
    using Piece = std::pair<const_buffers_type, bool>;

    const value_type& body_;
    uint64_t remaining_ = 0;
    std::vector<char> chunk_;
  };
};

}  // namespace kx::web::detail
