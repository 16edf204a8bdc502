# The control's layers, each with the layers below it that its files may include (its own
# folder aside). src/CMakeLists.txt builds one library per layer from this list and
# cmake/check_layers.cmake holds every include of src/ to it.
set(VL_LAYERS tables contract support kernel_link com_server adapter control module service_host)
set(VL_LAYER_BELOW_tables)
# The automation contract, its result codes and its method table: platform-neutral, known
# to the service core and the OLE plumbing alike.
set(VL_LAYER_BELOW_contract)
set(VL_LAYER_BELOW_support tables)
set(VL_LAYER_BELOW_kernel_link support tables)
# The OLE plumbing knows nothing of the kernel.
set(VL_LAYER_BELOW_com_server contract support tables)
# The service core knows nothing of COM.
set(VL_LAYER_BELOW_adapter kernel_link contract support tables)
# The control: the automation methods over the service core, in the OLE plumbing.
set(VL_LAYER_BELOW_control adapter kernel_link com_server contract support tables)
# On top: the module's entry points, and the service host, a program of its own that
# serves pages with the service core.
set(VL_LAYER_BELOW_module control adapter com_server kernel_link contract support tables)
set(VL_LAYER_BELOW_service_host adapter kernel_link contract support tables)
