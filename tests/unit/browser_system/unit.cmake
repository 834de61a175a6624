# Pages come from the local portal.
target_link_libraries(${UNIT_TARGET} PRIVATE local_portal)
