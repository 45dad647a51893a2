// The built-in pages and page fragments.
#pragma once

namespace kx {

enum class PageTemplate {
  InetXPageProducerLogin,
  InetXPageProducerMainKX,
  InetXPageMenu,
  InetXPageProducerCarList,
  InetXPageProducerDeleteUser,
  InetXPageProducerChangeUser,
  InetXPageProducerAdmin,
  InetXPageProducerAddUser,
  InetXPageProducerSettings,
  InetXPageProducerChangePass,
  InetXPageProducerMainSimple,
  InetXPageHeader,
  InetXPageCounters,
};

}  // namespace kx
