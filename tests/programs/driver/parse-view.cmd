--parse
@FILE
