target_link_libraries(${UNIT_TARGET} PRIVATE ws2_32 wininet shell32)
