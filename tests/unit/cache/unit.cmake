target_link_libraries(${UNIT_TARGET} PRIVATE local_portal wininet shell32)
