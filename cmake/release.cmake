# What a release installs and packs: the command line (and on Windows the server), the public
# header, the documents and the example inputs. Linux takes the usual prefix layout and a
# .tar.gz; a Windows build puts the programs and servers at the top of a .zip, where a host finds the
# server to register.
include(GNUInstallDirs)
if(WIN32)
  set(kestrol_bin_dir .)
  set(kestrol_doc_dir .)
else()
  set(kestrol_bin_dir ${CMAKE_INSTALL_BINDIR})
  set(kestrol_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrol)
endif()

if(TARGET kestrol)
  install(TARGETS kestrol RUNTIME DESTINATION ${kestrol_bin_dir})
endif()
if(TARGET Kestrol)
  # A COM server is loaded, never linked: its import library stays out of the release.
  install(TARGETS Kestrol RUNTIME DESTINATION ${kestrol_bin_dir}
                          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT import EXCLUDE_FROM_ALL)
endif()
if(TARGET KestrolAutomation)
  # Beside the server: scripts and spreadsheets register it as they register Kestrol.dll.
  install(TARGETS KestrolAutomation RUNTIME DESTINATION ${kestrol_bin_dir}
                                    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT import EXCLUDE_FROM_ALL)
endif()
install(FILES include/kestrol/kestrol.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kestrol)
install(FILES README.md LICENSE CHANGELOG.md DESTINATION ${kestrol_doc_dir})
install(DIRECTORY docs/ DESTINATION ${kestrol_doc_dir}/docs)
foreach(folder cases batch scripts host automation)
  if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/examples/${folder})
    install(DIRECTORY examples/${folder} DESTINATION ${kestrol_doc_dir}/examples)
  endif()
endforeach()

set(CPACK_PACKAGE_NAME kestrol)
set(CPACK_PACKAGE_VENDOR "the Kestrol developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Sizes separator vessels")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
# The symbols make up more than half of each program, and no user debugs a release.
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # Packing a release installs only the two programs: it need not build the test suites first
  # (the package target still builds everything).
  set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(kestrol_system windows-x86)
  else()
    set(kestrol_system windows-x64)
  endif()
else()
  set(CPACK_GENERATOR TGZ)
  string(TOLOWER ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR} kestrol_system)
endif()
set(CPACK_PACKAGE_FILE_NAME kestrol-${PROJECT_VERSION}-${kestrol_system})
include(CPack)
