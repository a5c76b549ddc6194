# Run by CPack after it has built the Debian package. CPack gives a package
# postinst and postrm scripts that run ldconfig whenever it holds a shared
# object below /usr/lib. The plug-ins there are loaded by path with dlopen,
# never through the linker's cache, so those scripts are needless: the package
# is rebuilt without them (Debian's checker warns about them).
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.deb$")
    set(tree "${package}.tree")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb -R "${package}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
    execute_process(COMMAND dpkg-deb --root-owner-group -b "${tree}" "${package}"
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${tree}")
  endif()
endforeach()
