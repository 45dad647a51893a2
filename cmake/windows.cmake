# What the Windows cross build takes from the build machine instead of target packages: the
# header-only Boost of Debian's libboost-dev and GoogleTest built from Debian's googletest sources.

# Boost: an include folder in the build tree holding only a link to the host's boost headers, so
# that no other host header can reach the Windows build.
set(KX_HOST_BOOST_HEADERS /usr/include/boost CACHE PATH "Host folder of the Boost headers")
set(KX_BOOST_INCLUDE ${CMAKE_BINARY_DIR}/boost-include)
file(MAKE_DIRECTORY ${KX_BOOST_INCLUDE})
file(CREATE_LINK ${KX_HOST_BOOST_HEADERS} ${KX_BOOST_INCLUDE}/boost SYMBOLIC)
set(Boost_INCLUDE_DIR ${KX_BOOST_INCLUDE} CACHE PATH "Boost headers for the Windows build" FORCE)
set(Boost_NO_BOOST_CMAKE ON)
set(Boost_NO_SYSTEM_PATHS ON)

# GoogleTest and GoogleMock from source, with the targets' usual names.
set(KX_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "Folder of the GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Windows headers: no min/max macros, and windows.h without winsock 1 (Asio includes winsock2).
target_compile_definitions(kx_warnings INTERFACE NOMINMAX WIN32_LEAN_AND_MEAN)

# The unit test programs, one path a line, for scripts/test-windows.sh.
set(KX_UNIT_TEST_LIST ${CMAKE_BINARY_DIR}/unit-tests.txt)
