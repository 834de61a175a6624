# Pages come from the local portal; the stand-in's log is read through its header.
target_link_libraries(${UNIT_TARGET} PRIVATE local_portal standin_browser_api)
