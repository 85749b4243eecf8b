# The pages of docs/ as the Windows zip holds them (cmake -P, at build time): copied from
# QUILL_DOCS_FROM into QUILL_DOCS_TO with their links to ../README.md pointing at
# ../README.txt, the README's name in the zip, where a double-click opens a .txt.
file(GLOB pages "${QUILL_DOCS_FROM}/*.md")
file(MAKE_DIRECTORY "${QUILL_DOCS_TO}")
foreach(page IN LISTS pages)
  get_filename_component(name "${page}" NAME)
  file(READ "${page}" text)
  string(REPLACE "](../README.md)" "](../README.txt)" text "${text}")
  string(REPLACE "](../README.md#" "](../README.txt#" text "${text}")
  file(WRITE "${QUILL_DOCS_TO}/${name}" "${text}")
endforeach()
