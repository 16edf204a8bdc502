  // The control's methods, from its automation contract (filled in by tools/webgen), and
  // the check that both page APIs make of a call before it goes anywhere, so that a page
  // hears the same reasons over the control as through the service host. Plain ECMAScript 3.
  var METHODS = {{SERVICE_METHOD_TABLE}};

  // Why calling `method` with `args` does not fit the contract, or "" when it fits: a
  // text holds no NUL (the kernel's message would end there), a number is whole, from 0
  // to 4294967295.
  function CallFault(method, args) {
    if (args.length !== method.parameters.length) return method.countFault;
    for (var i = 0; i < args.length; i++) {
      var parameter = method.parameters[i], value = args[i];
      if (parameter.type === "text") {
        if (typeof value !== "string") return parameter.fault;
        if (value.indexOf("\u0000") >= 0) return parameter.fault + " without NUL characters";
      } else if (typeof value !== "number" || !(value >= 0 && value <= 4294967295) || Math.floor(value) !== value) {
        return parameter.fault;
      }
    }
    return "";
  }
