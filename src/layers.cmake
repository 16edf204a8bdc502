# The control's layers, each with the layers below it that its files may include (its own
# folder aside). src/CMakeLists.txt builds one library per layer from this list and
# cmake/check_layers.cmake holds every include of src/ to it.
set(VL_LAYERS tables support kernel_link com_server adapter control module service_host)
set(VL_LAYER_BELOW_tables)
set(VL_LAYER_BELOW_support tables)
set(VL_LAYER_BELOW_kernel_link support tables)
# The OLE plumbing knows nothing of the kernel.
set(VL_LAYER_BELOW_com_server support tables)
# The service core takes from the OLE plumbing the contract's result codes alone.
set(VL_LAYER_BELOW_adapter kernel_link com_server support tables)
# The control: the automation methods over the service core, in the OLE plumbing.
set(VL_LAYER_BELOW_control adapter kernel_link com_server support tables)
# On top: the module's entry points, and the service host, a program of its own that
# serves pages with the service core.
set(VL_LAYER_BELOW_module control adapter com_server kernel_link support tables)
set(VL_LAYER_BELOW_service_host adapter kernel_link com_server support tables)
