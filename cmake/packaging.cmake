# Install rules and packages: a .deb on Linux, a .zip on Windows (cpack in the build folder;
# scripts/package.sh makes both). Included at the end of the root CMakeLists.txt, once every
# executable target exists.
include(GNUInstallDirs)

set(QUILL_APP_ID org.vennick.quillmere)
# Where the project is published; the AppStream metadata points at its screenshot there.
set(QUILL_HOMEPAGE "https://quillmere.example.org" CACHE STRING "Project home page")
set(QUILL_SCREENSHOT_URL "${QUILL_HOMEPAGE}/screenshot_linux.png")
set(QUILL_MAINTAINER "Quillmere maintainers <maintainers@quillmere.example.org>" CACHE STRING
    "Package maintainer, name and address")
# The day this version was cut (AppStream release and Debian changelog).
set(QUILL_RELEASE_DATE 2026-12-07)

set(QUILL_PROGRAMS quillmere)
if(TARGET quillmere-measure)
  list(APPEND QUILL_PROGRAMS quillmere-measure)
endif()

# The icon: the test image, written by a small tool at build time (PNG, and an ICO holding it).
set(QUILL_ICON_PNG ${CMAKE_BINARY_DIR}/packaging/quillmere.png)
set(QUILL_ICON_ICO ${CMAKE_BINARY_DIR}/packaging/quillmere.ico)
set(QUILL_ICON_SOURCES ${CMAKE_SOURCE_DIR}/packaging/icon.cpp ${CMAKE_SOURCE_DIR}/render/test_image.cpp)
if(CMAKE_CROSSCOMPILING)
  # The tool must run on the build machine: compile it there with the host's compiler.
  find_program(QUILL_HOST_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  set(QUILL_ICON_TOOL ${CMAKE_BINARY_DIR}/packaging/quillmere-icon-host)
  add_custom_command(OUTPUT ${QUILL_ICON_TOOL}
                     COMMAND ${QUILL_HOST_CXX} -std=c++20 -O1 -I${CMAKE_SOURCE_DIR} ${QUILL_ICON_SOURCES}
                             -o ${QUILL_ICON_TOOL}
                     DEPENDS ${QUILL_ICON_SOURCES} ${CMAKE_SOURCE_DIR}/render/test_image.h
                             ${CMAKE_SOURCE_DIR}/render/caption_font.h
                     COMMENT "Building the icon tool for the build machine" VERBATIM)
else()
  add_executable(quillmere-icon ${CMAKE_SOURCE_DIR}/packaging/icon.cpp)
  target_link_libraries(quillmere-icon PRIVATE quillmere_core)
  set(QUILL_ICON_TOOL quillmere-icon)
endif()
add_custom_command(OUTPUT ${QUILL_ICON_PNG} ${QUILL_ICON_ICO}
                   COMMAND ${QUILL_ICON_TOOL} ${QUILL_ICON_PNG} ${QUILL_ICON_ICO}
                   DEPENDS ${QUILL_ICON_TOOL}
                   COMMENT "Writing the icon from the test image" VERBATIM)
add_custom_target(quillmere_icon ALL DEPENDS ${QUILL_ICON_PNG} ${QUILL_ICON_ICO})

# quill_windows_resources(TARGET DESCRIPTION)
# Gives a Windows executable the icon as its file icon and a version resource (the file's
# Properties > Details: product name, description, version).
function(quill_windows_resources target description)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(QUILL_RC_NAME ${name})
  set(QUILL_RC_FILE ${name}.exe)
  set(QUILL_RC_DESCRIPTION "${description}")
  set(QUILL_ICO ${QUILL_ICON_ICO})
  set(rc ${CMAKE_BINARY_DIR}/packaging/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS ${QUILL_ICON_ICO})
  add_dependencies(${target} quillmere_icon)
endfunction()

if(WIN32)
  quill_windows_resources(quillmere "Quillmere filter test card")
  if(TARGET quillmere-measure)
    quill_windows_resources(quillmere-measure "Quillmere anti-aliasing and filtering measurement")
  endif()
  # The zip is one folder to unpack and double-click in: programs, README as text, licence,
  # and docs/ beside the README, where its links point.
  install(TARGETS ${QUILL_PROGRAMS} RUNTIME DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION docs PATTERN "*.md" EXCLUDE)
  # The pages as the zip holds them: their links back to the README name it README.txt.
  file(GLOB pages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/*.md)
  set(zip_pages "")
  foreach(page IN LISTS pages)
    get_filename_component(name ${page} NAME)
    list(APPEND zip_pages ${CMAKE_BINARY_DIR}/packaging/docs/${name})
  endforeach()
  add_custom_command(OUTPUT ${zip_pages}
                     COMMAND ${CMAKE_COMMAND} -DQUILL_DOCS_FROM=${CMAKE_SOURCE_DIR}/docs
                             -DQUILL_DOCS_TO=${CMAKE_BINARY_DIR}/packaging/docs -P ${CMAKE_SOURCE_DIR}/cmake/zip_docs.cmake
                     DEPENDS ${pages} ${CMAKE_SOURCE_DIR}/cmake/zip_docs.cmake
                     COMMENT "Writing the zip's pages" VERBATIM)
  add_custom_target(quillmere_zip_docs ALL DEPENDS ${zip_pages})
  install(FILES ${zip_pages} DESTINATION docs)
else()
  install(TARGETS ${QUILL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/quillmere.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications RENAME ${QUILL_APP_ID}.desktop)
  install(FILES ${QUILL_ICON_PNG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/packaging/${QUILL_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${QUILL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # Debian's documentation set: README, licence as the copyright file, changelog, manual.
  execute_process(COMMAND date -u -R -d "${QUILL_RELEASE_DATE} 12:00"
                  OUTPUT_VARIABLE QUILL_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
  find_program(QUILL_GZIP gzip REQUIRED)
  # gzip -n: no name or time stamp inside, so the same sources give the same package.
  set(compressed ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
                     COMMAND ${QUILL_GZIP} -9nc ${CMAKE_BINARY_DIR}/packaging/changelog
                             > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
                     DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog)
  foreach(program IN LISTS QUILL_PROGRAMS)
    set(page ${CMAKE_BINARY_DIR}/packaging/${program}.1.gz)
    add_custom_command(OUTPUT ${page}
                       COMMAND ${QUILL_GZIP} -9nc ${CMAKE_SOURCE_DIR}/packaging/${program}.1 > ${page}
                       DEPENDS ${CMAKE_SOURCE_DIR}/packaging/${program}.1)
    list(APPEND compressed ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  add_custom_target(quillmere_docs ALL DEPENDS ${compressed})
  set(docdir ${CMAKE_INSTALL_DATADIR}/doc/quillmere)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${docdir})
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${docdir} RENAME copyright)
  # The README's pages where its links point: share/doc/quillmere/docs/, as in the sources.
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${docdir}/docs)
endif()

set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VENDOR Vennick)
set(CPACK_PACKAGE_CONTACT "${QUILL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "graphics driver filter test card")
set(CPACK_PACKAGE_HOMEPAGE_URL "${QUILL_HOMEPAGE}")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quillmere-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Its dependencies are worked out from the shared libraries the programs link.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # SDL opens libGL.so.1 at run time, which no link shows.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS libgl1)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillmere opens one window and redraws continuously a fixed OpenGL 1.1 scene:
a ring of fifteen long, thin triangles textured with a detailed test image of
checkerboards, coloured bands, thin white lines, combs and a caption. Look at
it to judge how the graphics driver's anti-aliasing and texture filtering
treat textured polygons and their edges.")
endif()
include(CPack)
