# The gallery of every material and relief must match its checked-in
# SHA-256 list (tools/gallery.cpp says how to renew the list).
add_test(NAME gallery_sha256
  COMMAND sh -c "rm -rf \"$2\" && \"$1\" \"$2\" && cd \"$2\" && sha256sum --quiet --strict -c \"$3\""
          gallery_sha256 $<TARGET_FILE:gallery> "${CMAKE_CURRENT_BINARY_DIR}/gallery"
          "${CMAKE_CURRENT_SOURCE_DIR}/data/gallery.sha256")
